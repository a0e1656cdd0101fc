// Conversions between UTF-16 and the process's 8-bit code page, and wide-character classes.
// Windows: the thread's ANSI code page. Linux: the locale's encoding (UTF-8 in C/POSIX).
#pragma once

#include <cstdint>

#include "base/basic_string.h"

namespace noviq::platform {

// Makes later conversions follow the system's default locale.
void setThreadLocaleToSystemDefault();

// 8-bit text in the thread's code page to UTF-16; text that converts to nothing is empty.
WideString widen(const char* text, int32_t length);
// UTF-16 to the thread's code page; unmapped characters become the default character.
NarrowString narrow(const char16_t* text, int32_t length);

inline WideString widen(const NarrowString& text) {
    return widen(text.c_str(), text.length());
}
inline WideString widen(const char* text) {
    return text ? widen(text, NarrowString::measure(text)) : WideString();
}
inline NarrowString narrow(const WideString& text) {
    return narrow(text.c_str(), text.length());
}

// The C runtime's wide-character white-space class (space, tab, LF, VT, FF, CR and the
// locale's other spaces).
bool isWideSpace(char16_t c);

} // namespace noviq::platform
