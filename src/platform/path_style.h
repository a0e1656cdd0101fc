// How paths look on this system. The core builds paths by plain concatenation with the
// separator; folders it builds end in one.
#pragma once

namespace noviq::platform {

extern const char16_t kPathSeparator; // '\\' on Windows, '/' on Linux

// Linux programs rarely carry an extension; the INI file of an executable whose file name
// holds no "." is then its path followed by ".ini".
extern const bool kExecutablesMayLackExtension;

} // namespace noviq::platform
