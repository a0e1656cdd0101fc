// Loading a shared library for the life of the process and finding its entry points.
#pragma once

#include <cstdint>

#include "base/basic_string.h"

namespace noviq::platform {

// Loads the library at path; it is never unloaded. Null on failure, with the system's
// error code in `error` (Windows: GetLastError; Linux: errno after dlopen, else ENOENT or
// ENOEXEC by what the loader said).
void* loadLibraryForever(const WideString& path, uint32_t& error);

// The address of an exported function, or null with the error code.
void* findLibrarySymbol(void* library, const char* name, uint32_t& error);

} // namespace noviq::platform
