// Windows: LoadLibraryW and GetProcAddress.
#include "platform/library.h"

#include "platform/win32/windows_api.h"

namespace noviq::platform {

SystemResult<void*> loadLibraryForever(const WideString& path) {
    HMODULE module = LoadLibraryW(win32::w(path));
    if (!module)
        return SystemResult<void*>::failure(GetLastError());
    return reinterpret_cast<void*>(module);
}

SystemResult<void*> findLibrarySymbol(void* library, const char* name) {
    FARPROC address = GetProcAddress(static_cast<HMODULE>(library), name);
    if (!address)
        return SystemResult<void*>::failure(GetLastError());
    return reinterpret_cast<void*>(address);
}

} // namespace noviq::platform
