// The harness the fuzz targets share: a property check that libFuzzer sees as a crash, the
// mapping from the fuzzer's bytes to UTF-16 text, and the pieces properties are built of.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/basic_string.h"
#include "base/string_list.h"

namespace noviq::fuzz {

// A property that does not hold: say which, then abort so that libFuzzer keeps the input.
[[noreturn]] inline void fail(const char* property, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, property);
    std::abort();
}

#define FUZZ_CHECK(condition)                                                                      \
    ((condition) ? static_cast<void>(0) : ::noviq::fuzz::fail(#condition, __FILE__, __LINE__))

// Bytes below 0x80 are characters of their own, so that seed files are plain text; a byte
// from 0x80 up takes the next byte with it and the two name any code unit (high 7 bits from
// the first, low 8 from the second, plus 0x8000 when the first is 0xFF), zero and lone
// surrogates included.
inline std::u16string textFromBytes(const uint8_t* data, size_t size) {
    std::u16string text;
    for (size_t i = 0; i < size; ++i) {
        const bool pair = data[i] >= 0x80 && i + 1 < size;
        const unsigned next = pair ? data[i + 1] : 0;
        const unsigned high = data[i] == 0xFF ? 0x80 | next >> 1 : data[i] & 0x7F;
        text += static_cast<char16_t>(pair ? high << 8 | data[++i] : data[i]);
    }
    return text;
}

// A target whose input is text: FUZZ_TEXT_TARGET(text) { the property }.
#define FUZZ_TEXT_TARGET(text)                                                                     \
    static void fuzzText(const std::u16string& text);                                              \
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {                      \
        fuzzText(::noviq::fuzz::textFromBytes(data, size));                                        \
        return 0;                                                                                  \
    }                                                                                              \
    static void fuzzText(const std::u16string& text)

using Pieces = std::vector<std::u16string>;
inline constexpr char16_t kDigits[] = u"0123456789";

inline WideString wide(std::u16string_view text) {
    return WideString(text.data(), static_cast<int32_t>(text.size()));
}

inline std::u16string u16(const WideString& text) {
    return std::u16string(text.c_str(), static_cast<size_t>(text.length()));
}

inline Pieces items(const StringList& list) {
    Pieces out;
    for (const WideString& item : list)
        out.push_back(u16(item));
    return out;
}

// Every piece between separators, empty ones too; none for empty text.
inline Pieces split(std::u16string_view text, char16_t separator) {
    Pieces pieces;
    for (size_t start = 0, end = 0; !text.empty() && end != text.npos; start = end + 1)
        pieces.emplace_back(text.substr(start, (end = text.find(separator, start)) - start));
    return pieces;
}

inline std::u16string join(const Pieces& pieces, std::u16string_view separator) {
    std::u16string text;
    for (size_t i = 0; i < pieces.size(); ++i)
        text.append(i > 0 ? separator : u"").append(pieces[i]);
    return text;
}

// A copy alone in a heap block of exactly `size` bytes: the sanitizer sees any read past it.
inline std::unique_ptr<unsigned char[]> exactCopy(const void* data, size_t size) {
    std::unique_ptr<unsigned char[]> copy(new unsigned char[size ? size : 1]);
    if (size)
        std::memcpy(copy.get(), data, size);
    return copy;
}

} // namespace noviq::fuzz

// Each target is a program of one file, and these names are what it is about.
using namespace noviq;
using namespace noviq::fuzz;
