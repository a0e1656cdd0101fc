// Registry value data of any type and byte count as text. Properties: no zero, at most one
// unit per two bytes (an odd last byte reads as if a zero byte followed it); the text written
// back as UTF-16 reads the same, terminated or not, whatever follows; data that stop inside
// the text give its first units.
#include "common/registry_value.h"
#include "fuzz_support.h"

namespace {

// Read from an exact-size copy: the sanitizer sees any read past the data.
std::u16string textOf(const std::vector<unsigned char>& bytes) {
    return u16(registryDataText(exactCopy(bytes.data(), bytes.size()).get(), bytes.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::u16string text = textOf({data, data + size});
    FUZZ_CHECK(text.find(u'\0') == text.npos && text.size() <= (size + 1) / 2);
    FUZZ_CHECK(registryDataText(nullptr, 0).isEmpty());

    std::vector<unsigned char> written;
    for (char16_t c : text)
        written.insert(written.end(),
                       {static_cast<unsigned char>(c), static_cast<unsigned char>(c >> 8)});
    FUZZ_CHECK(textOf(written) == text);
    written.insert(written.end(), {0, 0});
    FUZZ_CHECK(textOf(written) == text);
    written.insert(written.end(), data, data + size);
    FUZZ_CHECK(textOf(written) == text);

    // A zero byte more changes nothing: after an odd byte, it is what that byte is read with.
    std::vector<unsigned char> padded(data, data + size);
    padded.push_back(0);
    FUZZ_CHECK(textOf(padded) == text);
    for (size_t cut = 0; cut <= size && cut <= 2 * text.size(); cut += 1 + cut / 2) {
        const std::u16string part = textOf({data, data + cut});
        FUZZ_CHECK(text.compare(0, cut / 2, part, 0, cut / 2) == 0);
        FUZZ_CHECK(part.size() == (cut + 1) / 2 || part.size() == cut / 2);
    }
    return 0;
}
