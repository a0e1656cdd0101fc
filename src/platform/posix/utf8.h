// Linux: the UTF-8 codec shared by text conversion and the INI reader (files with a UTF-8
// byte-order mark are UTF-8 whatever the locale says).
#pragma once

#include <cstdint>
#include <string>

namespace noviq::platform::posix {

// Malformed or overlong sequences become U+FFFD, one per byte.
std::u16string decodeUtf8(const unsigned char* bytes, int32_t length);
// A lone surrogate becomes "?".
std::string encodeUtf8(const char16_t* text, int32_t length);

} // namespace noviq::platform::posix
