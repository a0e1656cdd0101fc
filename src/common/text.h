// Text helpers over WideString/NarrowString that the whole launcher shares.
#pragma once

#include "common/basic_string.h"
#include "platform/text.h"

namespace noviq {

inline WideString widen(const NarrowString& text) {
    return platform::widen(text.c_str(), text.length());
}
inline WideString widen(const char* text) {
    return text ? platform::widen(text, NarrowString::measure(text)) : WideString();
}
inline NarrowString narrow(const WideString& text) {
    return platform::narrow(text.c_str(), text.length());
}

// Trims white space, as the C runtime classifies it, from both ends.
inline WideString trimmed(WideString text) {
    text.TrimLeft(platform::isWideSpace);
    text.TrimRight(platform::isWideSpace);
    return text;
}

// Comparison that ignores the case of the ASCII letters A to Z only.
bool equalsIgnoringAsciiCase(const WideString& text, const char* asciiLiteral);

} // namespace noviq
