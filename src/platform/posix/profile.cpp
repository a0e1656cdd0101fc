// Linux: our own profile-string reader and writer over INI files, following the observable
// rules of the Windows profile API: case-insensitive names, first duplicate wins, ";"
// comment lines, trimmed names and values, one pair of matching quotes stripped, UTF-8 or
// UTF-16 with a byte-order mark, and a write that creates file, section and key.
#include "platform/profile.h"

#include <cerrno>
#include <cstdio>
#include <cwctype>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/scoped_resource.h"
#include "platform/posix/utf8.h"
#include "platform/process.h"
#include "platform/text.h"

namespace noviq::platform {

namespace {

enum class Encoding { Plain, Utf8Bom, Utf16Le, Utf16Be };

struct Document {
    std::u16string text;
    Encoding encoding = Encoding::Plain;
};

// What tells one version of a file from another.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = -1;
    timespec modified{}, changed{};
    bool operator==(const FileIdentity& o) const {
        return device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec &&
               changed.tv_sec == o.changed.tv_sec && changed.tv_nsec == o.changed.tv_nsec;
    }
};

FileIdentity identityOf(const struct stat& st) {
    return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

bool readAll(const WideString& path, std::string& bytes, FileIdentity& identity) {
    // Non-blocking and regular files only: a FIFO or device named like the INI file must not
    // hold the start-up.
    const posix::ScopedFd fd(open(narrow(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd)
        return false;
    struct stat st;
    if (fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    identity = identityOf(st);
    char chunk[65536];
    for (;;) {
        const ssize_t n = read(fd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        bytes.append(chunk, static_cast<size_t>(n));
    }
    return true;
}

std::u16string toU16(const WideString& w) {
    return std::u16string(w.c_str(), static_cast<size_t>(w.length()));
}

bool load(const WideString& path, Document& doc, FileIdentity& identity) {
    std::string bytes;
    if (!readAll(path, bytes, identity))
        return false;
    auto u16 = [&](size_t start, bool bigEndian) {
        std::u16string out;
        out.reserve((bytes.size() - start) / 2);
        for (size_t i = start; i + 1 < bytes.size(); i += 2) {
            const auto lo = static_cast<unsigned char>(bytes[i + (bigEndian ? 1 : 0)]);
            const auto hi = static_cast<unsigned char>(bytes[i + (bigEndian ? 0 : 1)]);
            out += static_cast<char16_t>(lo | (hi << 8));
        }
        return out;
    };
    if (bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE') {
        doc.encoding = Encoding::Utf16Le;
        doc.text = u16(2, false);
    } else if (bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF') {
        doc.encoding = Encoding::Utf16Be;
        doc.text = u16(2, true);
    } else {
        if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) {
            doc.encoding = Encoding::Utf8Bom;
            doc.text = posix::decodeUtf8(reinterpret_cast<const unsigned char*>(bytes.data()) + 3,
                                         static_cast<int32_t>(bytes.size() - 3));
        } else {
            doc.text = toU16(widen(NarrowString(bytes.data(), static_cast<int32_t>(bytes.size()))));
        }
    }
    return true;
}

// The settings are read one value at a time, each read asking for the file again. The last
// file read is kept decoded and used again while its identity (inode, size, times) is
// unchanged, so a change made between two reads is still seen by the second.
std::shared_ptr<const Document> loadCached(const WideString& path) {
    static std::mutex lock;
    static std::u16string cachedPath;
    static FileIdentity cachedIdentity;
    static std::shared_ptr<const Document> cached;

    const std::u16string key = toU16(path);
    struct stat st;
    if (stat(narrow(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return nullptr;
    {
        const std::lock_guard<std::mutex> guard(lock);
        if (cached && cachedPath == key && cachedIdentity == identityOf(st))
            return cached;
    }
    auto doc = std::make_shared<Document>();
    FileIdentity identity;
    if (!load(path, *doc, identity))
        return nullptr;
    const std::lock_guard<std::mutex> guard(lock);
    cachedPath = key;
    cachedIdentity = identity;
    cached = doc;
    return doc;
}

bool isBlank(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

std::u16string_view trim(std::u16string_view s) {
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char16_t fold(char16_t c) {
    if (c < 0x80)
        return c >= u'A' && c <= u'Z' ? c + 32 : c;
    return static_cast<char16_t>(std::towlower(c));
}

bool sameName(std::u16string_view a, const std::u16string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i]))
            return false;
    return true;
}

// One line of the document: [begin, end) without its line break.
struct Line {
    size_t begin, end, next;
};

// Lines end at LF, CR LF or a lone CR.
bool nextLine(const std::u16string& text, size_t pos, Line& line) {
    if (pos >= text.size())
        return false;
    size_t end = pos;
    while (end < text.size() && text[end] != u'\n' && text[end] != u'\r')
        ++end;
    size_t next = end;
    if (next < text.size() && text[next] == u'\r')
        ++next;
    if (next < text.size() && text[next] == u'\n' && (next == end || text[next - 1] == u'\r'))
        ++next;
    line = {pos, end, next};
    return true;
}

enum class LineKind { Other, Section, Entry };

LineKind classify(std::u16string_view raw, std::u16string_view& name, std::u16string_view& value) {
    const std::u16string_view line = trim(raw);
    if (line.empty() || line.front() == u';')
        return LineKind::Other;
    // A header names the text up to its last "]"; a "[" line without one is an entry.
    if (const size_t close = line.rfind(u']'); line.front() == u'[' && close != line.npos) {
        name = trim(line.substr(1, close - 1));
        return LineKind::Section;
    }
    const size_t eq = line.find(u'=');
    if (eq == std::u16string_view::npos) {
        name = line;
        value = {};
    } else {
        name = trim(line.substr(0, eq));
        value = trim(line.substr(eq + 1));
    }
    return LineKind::Entry;
}

std::u16string_view unquote(std::u16string_view v) {
    if (v.size() >= 2 && (v.front() == u'"' || v.front() == u'\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

// Finds the first entry of `key` in the first section named `section` (a later section of
// the same name is not read, as on Windows). Returns false when there is none; otherwise
// fills the value and where its line lies.
bool findEntry(const std::u16string& text, const std::u16string& section, const std::u16string& key,
               std::u16string_view& value, Line& where, size_t& sectionEnd, bool& sectionFound) {
    sectionFound = false;
    bool inSection = false;
    Line line;
    size_t pos = 0;
    while (nextLine(text, pos, line)) {
        std::u16string_view name, v;
        const std::u16string_view raw(text.data() + line.begin, line.end - line.begin);
        const LineKind kind = classify(raw, name, v);
        if (kind == LineKind::Section) {
            if (sectionFound)
                break;
            inSection = sameName(name, section);
            if (inSection) {
                sectionFound = true;
                sectionEnd = line.next;
            }
        } else if (inSection && kind == LineKind::Entry) {
            if (sameName(name, key)) {
                value = v;
                where = line;
                return true;
            }
        }
        if (inSection && sectionFound && kind != LineKind::Other)
            sectionEnd = line.next;
        pos = line.next;
    }
    return false;
}

std::string encode(const std::u16string& text, Encoding encoding) {
    std::string out;
    if (encoding == Encoding::Utf16Le || encoding == Encoding::Utf16Be) {
        const bool be = encoding == Encoding::Utf16Be;
        out += be ? "\xFE\xFF" : "\xFF\xFE";
        for (char16_t c : text) {
            const char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
            out += be ? hi : lo;
            out += be ? lo : hi;
        }
        return out;
    }
    if (encoding == Encoding::Utf8Bom)
        return "\xEF\xBB\xBF" + posix::encodeUtf8(text.data(), static_cast<int32_t>(text.size()));
    const NarrowString bytes = platform::narrow(text.data(), static_cast<int32_t>(text.size()));
    out.append(bytes.c_str(), static_cast<size_t>(bytes.length()));
    return out;
}

} // namespace

int32_t readProfileString(const WideString& section, const WideString& key, char16_t* buffer,
                          int32_t size, const WideString& path) {
    if (size <= 0)
        return 0;
    buffer[0] = 0;
    const std::shared_ptr<const Document> doc = loadCached(path);
    if (!doc)
        return 0;
    std::u16string_view value;
    Line where{};
    size_t sectionEnd = 0;
    bool sectionFound = false;
    if (!findEntry(doc->text, toU16(section), toU16(key), value, where, sectionEnd, sectionFound))
        return 0;
    value = unquote(value);
    int32_t n = static_cast<int32_t>(value.size() < static_cast<size_t>(size - 1) ? value.size()
                                                                                  : size - 1);
    for (int32_t i = 0; i < n; ++i)
        buffer[i] = value[static_cast<size_t>(i)];
    buffer[n] = 0;
    return n;
}

bool writeProfileString(const WideString& section, const WideString& key, const WideString& value,
                        const WideString& path) {
    Document doc;
    FileIdentity ignored;
    const bool existed = load(path, doc, ignored);
    const std::u16string sectionName = toU16(section), keyName = toU16(key);
    std::u16string_view old;
    Line where{};
    size_t sectionEnd = 0;
    bool sectionFound = false;
    const std::u16string entry = keyName + u"=" + toU16(value);
    std::u16string& text = doc.text;
    if (findEntry(text, sectionName, keyName, old, where, sectionEnd, sectionFound)) {
        text.replace(where.begin, where.end - where.begin, entry);
    } else if (sectionFound) {
        std::u16string insert = entry + u"\n";
        if (sectionEnd > 0 && text[sectionEnd - 1] != u'\n' && text[sectionEnd - 1] != u'\r')
            insert = u"\n" + insert;
        text.insert(sectionEnd, insert);
    } else {
        if (!text.empty() && text.back() != u'\n' && text.back() != u'\r')
            text += u"\n";
        text += u"[" + sectionName + u"]\n" + entry + u"\n";
    }
    const std::string bytes = encode(text, existed ? doc.encoding : Encoding::Plain);
    const posix::ScopedFd fd(
        open(narrow(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd) {
        setLastError(static_cast<uint32_t>(errno));
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
    return done == bytes.size();
}

} // namespace noviq::platform
