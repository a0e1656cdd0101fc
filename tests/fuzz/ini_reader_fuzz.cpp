// The Linux INI reader and writer over files of any bytes. Properties: a read never writes
// past the buffer it is given and returns the longest prefix that fits, terminated;
// reading in pieces agrees with the doubling read; names match whatever their ASCII case;
// a value written is read back as written, and the write leaves every other value read
// before it as it was.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <fcntl.h>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "common/ini_file.h"
#include "fuzz_support.h"
#include "platform/profile.h"

namespace noviq {
namespace {

using fuzz::u16;
using fuzz::wide;

std::string folder;

struct Probe {
    std::u16string section, key;
};

bool blank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

// Text that is written as it is and read back the same: no line breaks, zeros or
// surrogates (an 8-bit file cannot hold a lone one), and nothing to trim at either end.
bool writable(const std::u16string& text) {
    for (char16_t c : text)
        if (c == u'\r' || c == u'\n' || c == 0 || (c >= 0xD800 && c <= 0xDFFF))
            return false;
    return text.empty() || (!blank(text.front()) && !blank(text.back()));
}

std::u16string swapAsciiCase(std::u16string text) {
    for (char16_t& c : text)
        if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'))
            c ^= 0x20;
    return text;
}

bool sameIgnoringCase(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    return true;
}

std::u16string readWhole(const WideString& path, const Probe& p) {
    return u16(PlainIniFile(path).GetValue(wide(p.section), wide(p.key)));
}

void checkBoundedReads(const WideString& path, const Probe& p, const std::u16string& whole,
                       size_t fileSize) {
    // The raw value may hold zeros, where the doubling read ends it. No byte of the file
    // gives more than one code unit, so the file's size always leaves room.
    const size_t capacity = fileSize + 2;
    std::unique_ptr<char16_t[]> full(new char16_t[capacity]);
    const int32_t length = platform::readProfileString(wide(p.section), wide(p.key), full.get(),
                                                       static_cast<int32_t>(capacity), path);
    FUZZ_CHECK(length >= 0 && static_cast<size_t>(length) < capacity - 1 && full[length] == 0);
    const std::u16string raw(full.get(), static_cast<size_t>(length));
    FUZZ_CHECK(raw.substr(0, raw.find(u'\0')) == whole);
    for (int32_t size = 1; size <= 4; ++size) {
        // Exactly `size` characters, so that the sanitizer sees any write past them.
        std::unique_ptr<char16_t[]> buffer(new char16_t[static_cast<size_t>(size)]);
        const int32_t n =
            platform::readProfileString(wide(p.section), wide(p.key), buffer.get(), size, path);
        FUZZ_CHECK(n == std::min(length, size - 1) && buffer[n] == 0);
        FUZZ_CHECK(std::u16string(buffer.get(), static_cast<size_t>(n)) == raw.substr(0, n));
    }
}

} // namespace
} // namespace noviq

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::getenv("TMPDIR");
    std::string pattern = std::string(base ? base : "/tmp") + "/noviq-ini-fuzz-XXXXXX";
    if (!mkdtemp(pattern.data()))
        std::abort();
    noviq::folder = pattern;
    std::atexit([] { rmdir(noviq::folder.c_str()); });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace noviq;
    // The first line names what is done: "section|key|value", then more "section|key"
    // pairs to look at; the rest of the input is the file, bytes as they are.
    const uint8_t* end = static_cast<const uint8_t*>(std::memchr(data, '\n', size));
    const size_t commandSize = end ? static_cast<size_t>(end - data) : size;
    const std::u16string command = fuzz::textFromBytes(data, commandSize);
    const uint8_t* content = end ? end + 1 : data + size;
    const size_t contentSize = static_cast<size_t>(data + size - content);

    std::u16string_view rest = command;
    Probe target{std::u16string(fuzz::nextPiece(rest, u'|')),
                 std::u16string(fuzz::nextPiece(rest, u'|'))};
    const std::u16string value(fuzz::nextPiece(rest, u'|'));
    std::vector<Probe> probes{target};
    while (!rest.empty() && probes.size() < 8)
        probes.push_back({std::u16string(fuzz::nextPiece(rest, u'|')),
                          std::u16string(fuzz::nextPiece(rest, u'|'))});

    // A new file name for every input: the reader keeps the last file it read.
    static unsigned long counter = 0;
    const std::string path = folder + "/" + std::to_string(++counter) + ".ini";
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(write(fd, content, contentSize) == static_cast<ssize_t>(contentSize));
    close(fd);
    const WideString widePath = wide(std::u16string(path.begin(), path.end()));

    std::vector<std::u16string> before;
    for (const Probe& p : probes) {
        const std::u16string whole = readWhole(widePath, p);
        before.push_back(whole);
        checkBoundedReads(widePath, p, whole, contentSize);
        FUZZ_CHECK(readWhole(widePath, {swapAsciiCase(p.section), swapAsciiCase(p.key)}) == whole);
    }

    // A key that reads as a key: not empty, no "=", not taken for a comment or a header.
    const bool keyWritable = writable(target.key) && !target.key.empty() &&
                             target.key.find(u'=') == target.key.npos && target.key[0] != u';' &&
                             target.key[0] != u'[';
    // A value that no quote stripping changes.
    const bool valueWritable =
        writable(value) &&
        !(value.size() >= 2 && (value[0] == u'"' || value[0] == u'\'') && value.back() == value[0]);
    if (writable(target.section) && keyWritable && valueWritable) {
        PlainIniFile(widePath).SetValue(wide(target.section), wide(target.key), wide(value));
        FUZZ_CHECK(readWhole(widePath, target) == value);
        for (size_t i = 1; i < probes.size(); ++i) {
            const Probe& p = probes[i];
            if (sameIgnoringCase(p.section, target.section) && sameIgnoringCase(p.key, target.key))
                continue;
            FUZZ_CHECK(readWhole(widePath, p) == before[i]);
        }
    }
    unlink(path.c_str());
    return 0;
}
