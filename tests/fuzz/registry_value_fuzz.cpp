// Registry value data of any type and byte count as text. Properties: the text holds no
// zero and no more code units than the data hold (an odd last byte counts as one); the
// text written back as UTF-16 reads the same, terminated or not; bytes after the first
// zero unit change nothing; an odd last byte reads as if a zero byte followed it.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/registry_value.h"
#include "fuzz_support.h"

namespace noviq {
namespace {

using fuzz::u16;

std::u16string textOf(const std::vector<unsigned char>& bytes) {
    // An exact-size copy: the sanitizer sees any read past the data.
    std::unique_ptr<unsigned char[]> copy(new unsigned char[bytes.size() + bytes.empty()]);
    if (!bytes.empty())
        std::memcpy(copy.get(), bytes.data(), bytes.size());
    return u16(registryDataText(copy.get(), bytes.size()));
}

std::vector<unsigned char> utf16Bytes(const std::u16string& text) {
    std::vector<unsigned char> bytes;
    for (char16_t c : text) {
        bytes.push_back(static_cast<unsigned char>(c & 0xFF));
        bytes.push_back(static_cast<unsigned char>(c >> 8));
    }
    return bytes;
}

} // namespace
} // namespace noviq

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace noviq;
    const std::vector<unsigned char> bytes(data, data + size);
    const std::u16string text = textOf(bytes);
    FUZZ_CHECK(text.find(u'\0') == text.npos);
    FUZZ_CHECK(text.size() <= (size + 1) / 2);
    FUZZ_CHECK(registryDataText(nullptr, 0).isEmpty());

    std::vector<unsigned char> written = utf16Bytes(text);
    FUZZ_CHECK(textOf(written) == text);
    written.push_back(0);
    written.push_back(0);
    FUZZ_CHECK(textOf(written) == text);
    // Whatever follows the terminating unit is not part of the text.
    written.insert(written.end(), data, data + size);
    FUZZ_CHECK(textOf(written) == text);

    if (size % 2 == 1) {
        std::vector<unsigned char> even = bytes;
        even.push_back(0);
        FUZZ_CHECK(textOf(even) == text);
    }
    // Data that stop inside the text give the text's first units.
    for (size_t cut = 0; cut <= size && cut <= 2 * text.size(); cut += 1 + cut / 2) {
        const std::u16string part = textOf(std::vector<unsigned char>(data, data + cut));
        FUZZ_CHECK(text.compare(0, cut / 2, part, 0, cut / 2) == 0);
        FUZZ_CHECK(part.size() == (cut + 1) / 2 || part.size() == cut / 2);
    }
    return 0;
}
