// Text helpers over WideString/NarrowString that the whole launcher shares.
#pragma once

#include "base/basic_string.h"
#include "platform/text.h"

namespace noviq {

using platform::narrow;
using platform::widen;

// Trims white space, as the C runtime classifies it, from both ends.
inline WideString trimmed(WideString text) {
    text.TrimLeft(platform::isWideSpace);
    text.TrimRight(platform::isWideSpace);
    return text;
}

// Comparison that ignores the case of the ASCII letters A to Z only.
bool equalsIgnoringAsciiCase(const WideString& text, const char* asciiLiteral);

} // namespace noviq
