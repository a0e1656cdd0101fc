// The profile-string interface to INI files. Names match without regard to case; the first
// of duplicate keys wins; a missing file, section or key gives the empty default.
#pragma once

#include <cstdint>

#include "base/basic_string.h"

namespace noviq::platform {

// Copies at most size-1 characters of the value and a terminating zero into buffer and
// returns the count copied; a value that did not fit is cut and size-1 is returned.
int32_t readProfileString(const WideString& section, const WideString& key, char16_t* buffer,
                          int32_t size, const WideString& path);

// Stores the value, creating the file, section and key as needed.
bool writeProfileString(const WideString& section, const WideString& key, const WideString& value,
                        const WideString& path);

} // namespace noviq::platform
