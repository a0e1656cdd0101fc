// Windows: LoadLibraryW and GetProcAddress.
#include "platform/library.h"

#include "platform/win32/windows_api.h"

namespace noviq::platform {

namespace {

// AddDllDirectory exists from Windows 8 (and Windows 7 with KB2533623): looked up, not linked.
using AddDllDirectoryFunction = void*(WINAPI*)(const wchar_t*);

AddDllDirectoryFunction addDllDirectory() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<AddDllDirectoryFunction>(
                        reinterpret_cast<void*>(GetProcAddress(kernel, "AddDllDirectory")))
                  : nullptr;
}

} // namespace

SystemResult<void*> loadLibraryForever(const WideString& path, const WideString& dependencyFolder) {
    HMODULE module = nullptr;
    if (const AddDllDirectoryFunction add = addDllDirectory()) {
        if (!dependencyFolder.isEmpty())
            add(win32::w(dependencyFolder));
        // The library's own folder, the folders added above and System32: a DLL planted in
        // the current folder is never picked up as a dependency.
        module =
            LoadLibraryExW(win32::w(path), nullptr,
                           LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    } else {
        // Older systems: the library's own folder first, then the standard order, from which
        // excludeCurrentFolderFromLibrarySearch took the current folder.
        module = LoadLibraryExW(win32::w(path), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    if (!module)
        return SystemResult<void*>::failure(GetLastError());
    return reinterpret_cast<void*>(module);
}

void excludeCurrentFolderFromLibrarySearch() {
    SetDllDirectoryW(L"");
}

SystemResult<void*> findLibrarySymbol(void* library, const char* name) {
    FARPROC address = GetProcAddress(static_cast<HMODULE>(library), name);
    if (!address)
        return SystemResult<void*>::failure(GetLastError());
    return reinterpret_cast<void*>(address);
}

} // namespace noviq::platform
