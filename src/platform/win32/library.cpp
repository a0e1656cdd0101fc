// Windows: LoadLibraryW and GetProcAddress.
#include "platform/library.h"

#include "platform/win32/windows_api.h"

namespace noviq::platform {

void* loadLibraryForever(const WideString& path, uint32_t& error) {
    HMODULE module = LoadLibraryW(win32::w(path));
    if (!module)
        error = GetLastError();
    return reinterpret_cast<void*>(module);
}

void* findLibrarySymbol(void* library, const char* name, uint32_t& error) {
    FARPROC address = GetProcAddress(static_cast<HMODULE>(library), name);
    if (!address)
        error = GetLastError();
    return reinterpret_cast<void*>(address);
}

} // namespace noviq::platform
