// Linux: dlopen and dlsym. The loader reports text, not codes: a missing file maps to
// ENOENT, anything else it refuses (wrong class, not an ELF file) to ENOEXEC.
#include "platform/library.h"

#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <sys/stat.h>

#include "platform/text.h"

namespace noviq::platform {

SystemResult<void*> loadLibraryForever(const WideString& path, const WideString&) {
    const NarrowString file = narrow(path);
    void* handle = dlopen(file.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (!handle) {
        struct stat st;
        return SystemResult<void*>::failure(stat(file.c_str(), &st) != 0 ? ENOENT : ENOEXEC);
    }
    return handle;
}

// The Linux loader searches the current folder only through an empty element of
// LD_LIBRARY_PATH, which is the user's own choice.
void excludeCurrentFolderFromLibrarySearch() {}

SystemResult<void*> findLibrarySymbol(void* library, const char* name) {
    dlerror();
    void* address = dlsym(library, name);
    if (!address)
        return SystemResult<void*>::failure(ENOENT);
    return address;
}

} // namespace noviq::platform
