// Loading a shared library for the life of the process and finding its entry points.
#pragma once

#include <cstdint>

#include "base/basic_string.h"
#include "platform/system_result.h"

namespace noviq::platform {

// Loads the library at path; it is never unloaded. Where the system searches folders for
// a library's dependencies (Windows), they come from the library's own folder,
// `dependencyFolder` and the system's folders, never from the current folder. On Linux,
// whose loader reports text, a missing file fails with ENOENT and anything else it refuses
// with ENOEXEC.
SystemResult<void*> loadLibraryForever(const WideString& path,
                                       const WideString& dependencyFolder = WideString());

// Takes the current folder out of the search for libraries loaded later (Windows); called
// once at start.
void excludeCurrentFolderFromLibrarySearch();

// The address of an exported function.
SystemResult<void*> findLibrarySymbol(void* library, const char* name);

} // namespace noviq::platform
