// The text of a registry value's data, kept apart from the system call that reads them so
// that it can be checked on any system.
#pragma once

#include <cstddef>

#include "base/basic_string.h"

namespace noviq {

// The data of a value of any type taken as UTF-16 little-endian text up to the first zero
// code unit, or to the end of the data when they hold none (stored strings are not always
// terminated). An odd last byte is the low byte of a final code unit whose high byte is 0.
WideString registryDataText(const unsigned char* data, size_t size);

} // namespace noviq
