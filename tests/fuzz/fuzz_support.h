// Shared helpers of the fuzz targets: a property check that libFuzzer sees as a crash, and
// the mapping from the fuzzer's bytes to UTF-16 text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
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
    text.reserve(size);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] < 0x80 || i + 1 == size) {
            text += static_cast<char16_t>(data[i]);
            continue;
        }
        const unsigned high = data[i] == 0xFF ? 0x80 | (data[i + 1] >> 1) : data[i] & 0x7F;
        text += static_cast<char16_t>(high << 8 | data[i + 1]);
        ++i;
    }
    return text;
}

inline WideString wide(std::u16string_view text) {
    return WideString(text.data(), static_cast<int32_t>(text.size()));
}

inline std::u16string u16(const WideString& text) {
    return std::u16string(text.c_str(), static_cast<size_t>(text.length()));
}

// The pieces of the text between separator characters (every piece, empty ones too).
inline std::u16string_view nextPiece(std::u16string_view& rest, char16_t separator) {
    const size_t end = rest.find(separator);
    const std::u16string_view piece = rest.substr(0, end);
    rest = end == rest.npos ? std::u16string_view() : rest.substr(end + 1);
    return piece;
}

inline std::vector<std::u16string> items(const StringList& list) {
    std::vector<std::u16string> out;
    for (const WideString& item : list)
        out.push_back(u16(item));
    return out;
}

} // namespace noviq::fuzz
