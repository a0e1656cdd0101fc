// The Linux INI reader and writer over files of any bytes. Properties: a read never writes
// past its buffer and gives the longest prefix that fits, terminated; a value written reads
// back as written, and every other value stays as it was.
#include <cwctype>
#include <unistd.h>

#include "common/ini_file.h"
#include "fuzz_support.h"
#include "platform/profile.h"

namespace {

// Text that is written as it is and read back the same: no line breaks, zeros or
// surrogates (an 8-bit file cannot hold a lone one), and nothing to trim at either end.
bool writable(const std::u16string& text) {
    for (char16_t c : text)
        if (c == u'\r' || c == u'\n' || c == 0 || (c >= 0xD800 && c <= 0xDFFF))
            return false;
    return text.empty() || (text.front() > u' ' && text.back() > u' ');
}

std::u16string lower(std::u16string text) {
    for (char16_t& c : text)
        c = static_cast<char16_t>(std::towlower(c));
    return text;
}

std::u16string read(const WideString& path, const std::u16string& section,
                    const std::u16string& key) {
    return u16(PlainIniFile(path).GetValue(wide(section), wide(key)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The first line is "section|key|value", then more "section|key" pairs to look at; the
    // rest of the input is the file, bytes as they are.
    const uint8_t* end = static_cast<const uint8_t*>(std::memchr(data, '\n', size));
    const size_t commandSize = end ? static_cast<size_t>(end - data) : size;
    Pieces names = split(textFromBytes(data, commandSize), u'|');
    names.resize(std::min<size_t>(std::max<size_t>(names.size(), 3) | 1, 17));
    const std::u16string value = names[2];
    names.erase(names.begin() + 2);
    const uint8_t* content = end ? end + 1 : data + size;
    const size_t contentSize = static_cast<size_t>(data + size - content);

    // A new file for every input (the reader keeps the last file it read), in memory if it can.
    static const std::string folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    static unsigned long counter = 0;
    const std::string path = folder + "/noviq-ini-fuzz-" + std::to_string(getpid()) + "-" +
                             std::to_string(++counter) + ".ini";
    FILE* out = std::fopen(path.c_str(), "wb");
    FUZZ_CHECK(out && std::fwrite(content, 1, contentSize, out) == contentSize &&
               !std::fclose(out));
    const WideString file = wide(std::u16string(path.begin(), path.end()));

    Pieces before;
    for (size_t i = 0; i < names.size(); i += 2) {
        const WideString section = wide(names[i]), key = wide(names[i + 1]);
        before.push_back(read(file, names[i], names[i + 1]));
        // The raw value may hold zeros, where the doubling read ends it. No byte of the file
        // gives more than one code unit, so the file's size always leaves room.
        const int32_t capacity = static_cast<int32_t>(contentSize + 2);
        std::u16string raw(contentSize + 2, u'x');
        const int32_t length =
            platform::readProfileString(section, key, raw.data(), capacity, file);
        FUZZ_CHECK(length >= 0 && length < capacity - 1 && raw[static_cast<size_t>(length)] == 0);
        raw.resize(static_cast<size_t>(length));
        FUZZ_CHECK(raw.substr(0, raw.find(u'\0')) == before.back());
        for (int32_t n = 1; n <= 4; ++n) {
            // Exactly `n` characters, so that the sanitizer sees any write past them.
            const std::unique_ptr<char16_t[]> buffer(new char16_t[static_cast<size_t>(n)]);
            const int32_t got = platform::readProfileString(section, key, buffer.get(), n, file);
            FUZZ_CHECK(got == std::min(length, n - 1) && buffer[got] == 0 &&
                       raw.compare(0, got, buffer.get(), got) == 0);
        }
    }

    // A key that reads as a key (not empty, no "=", not taken for a comment or a header),
    // and a value that no quote stripping changes.
    const std::u16string &section = names[0], &key = names[1];
    const bool quoted =
        value.size() >= 2 && (value[0] == u'"' || value[0] == u'\'') && value.back() == value[0];
    if (writable(section) && writable(key) && !key.empty() && key.find(u'=') == key.npos &&
        key[0] != u';' && key[0] != u'[' && writable(value) && !quoted) {
        PlainIniFile(file).SetValue(wide(section), wide(key), wide(value));
        FUZZ_CHECK(read(file, section, key) == value);
        for (size_t i = 2; i < names.size(); i += 2)
            FUZZ_CHECK((lower(names[i]) == lower(section) && lower(names[i + 1]) == lower(key)) ||
                       read(file, names[i], names[i + 1]) == before[i / 2]);
    }
    unlink(path.c_str());
    return 0;
}
