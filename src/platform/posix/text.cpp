// Linux: conversions in the locale's encoding. UTF-8 (and the C/POSIX locale, whose bytes
// are almost always UTF-8 in practice) use our own codec; other encodings use the C library.
#include "platform/text.h"

#include <clocale>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <langinfo.h>
#include <string>

#include "platform/posix/utf8.h"

namespace noviq::platform {

namespace {

bool localeIsUtf8OrAscii() {
    const char* codeset = nl_langinfo(CODESET);
    return !codeset || std::strcmp(codeset, "UTF-8") == 0 ||
           std::strcmp(codeset, "ANSI_X3.4-1968") == 0 || std::strcmp(codeset, "ASCII") == 0;
}

void appendUtf16(std::u16string& out, char32_t cp) {
    if (cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<char16_t>(0xD800 + (cp >> 10));
        out += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<char16_t>(cp);
    }
}

} // namespace

namespace posix {

std::u16string decodeUtf8(const unsigned char* s, int32_t n) {
    std::u16string out;
    out.reserve(static_cast<size_t>(n));
    for (int32_t i = 0; i < n;) {
        const unsigned char b = s[i];
        int extra = b < 0x80 ? 0 : (b >> 5) == 6 ? 1 : (b >> 4) == 14 ? 2 : (b >> 3) == 30 ? 3 : -1;
        char32_t cp = extra == 0 ? b : extra == 1 ? b & 0x1F : extra == 2 ? b & 0x0F : b & 0x07;
        bool ok = extra >= 0 && i + extra < n;
        for (int k = 1; ok && k <= extra; ++k) {
            if ((s[i + k] & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (s[i + k] & 0x3F);
        }
        // The shortest form only: an overlong "/" (C0 AF) must not pass for a separator.
        static constexpr char32_t kMinimum[] = {0, 0x80, 0x800, 0x10000};
        if (ok && cp < kMinimum[extra])
            ok = false;
        if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        appendUtf16(out, cp);
        i += extra + 1;
    }
    return out;
}

std::string encodeUtf8(const char16_t* s, int32_t n) {
    std::string out;
    out.reserve(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = u'?'; // a lone surrogate has no mapping
        }
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }
    return out;
}

} // namespace posix

void setThreadLocaleToSystemDefault() {
    std::setlocale(LC_ALL, "");
}

WideString widen(const char* text, int32_t length) {
    if (length <= 0)
        return WideString();
    if (localeIsUtf8OrAscii()) {
        const std::u16string wide =
            posix::decodeUtf8(reinterpret_cast<const unsigned char*>(text), length);
        return WideString(wide.data(), static_cast<int32_t>(wide.size()));
    }
    std::u16string out;
    std::mbstate_t state{};
    for (int32_t i = 0; i < length;) {
        wchar_t wc = 0;
        const size_t used = std::mbrtowc(&wc, text + i, static_cast<size_t>(length - i), &state);
        if (used == static_cast<size_t>(-1) || used == static_cast<size_t>(-2)) {
            out += u'\uFFFD';
            state = std::mbstate_t{};
            ++i;
            continue;
        }
        appendUtf16(out, static_cast<char32_t>(wc));
        i += used == 0 ? 1 : static_cast<int32_t>(used);
    }
    return WideString(out.data(), static_cast<int32_t>(out.size()));
}

NarrowString narrow(const char16_t* text, int32_t length) {
    if (length <= 0)
        return NarrowString();
    if (localeIsUtf8OrAscii()) {
        const std::string bytes = posix::encodeUtf8(text, length);
        return NarrowString(bytes.data(), static_cast<int32_t>(bytes.size()));
    }
    std::string out;
    std::mbstate_t state{};
    char buffer[MB_LEN_MAX];
    for (int32_t i = 0; i < length; ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        const size_t n = std::wcrtomb(buffer, static_cast<wchar_t>(cp), &state);
        if (n == static_cast<size_t>(-1)) {
            out += '?';
            state = std::mbstate_t{};
        } else {
            out.append(buffer, n);
        }
    }
    return NarrowString(out.data(), static_cast<int32_t>(out.size()));
}

bool isWideSpace(char16_t c) {
    return std::iswspace(static_cast<wint_t>(c)) != 0;
}

} // namespace noviq::platform
