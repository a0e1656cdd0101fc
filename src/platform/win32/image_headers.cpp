// Windows: ImageNtHeader of the system's Dbghelp.dll, loaded from the system folder only
// for the one call and released again.
#include "platform/image_headers.h"

#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

namespace noviq::platform {

const LibraryImageFormat kLibraryImageFormat = LibraryImageFormat::Pe;

namespace {

// Only the copy in the system folder: a Dbghelp.dll planted beside the executable (or
// anywhere else on the search path) must never load into this elevated process.
HMODULE loadSystemDbghelp() {
    if (HMODULE module = LoadLibraryExW(L"dbghelp.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32))
        return module;
    // Systems without the restricted search flags reject it with ERROR_INVALID_PARAMETER:
    // name the file in the system folder by its full path instead.
    if (GetLastError() != ERROR_INVALID_PARAMETER)
        return nullptr;
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH - 13)
        return nullptr;
    lstrcatW(folder, L"\\dbghelp.dll");
    return LoadLibraryExW(folder, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

} // namespace

const unsigned char* locateNtHeaders(const unsigned char* image) {
    using ImageNtHeaderFunction = PIMAGE_NT_HEADERS(WINAPI*)(PVOID);
    const win32::ScopedModule dbghelp(loadSystemDbghelp());
    if (!dbghelp)
        return nullptr;
    const auto imageNtHeader = reinterpret_cast<ImageNtHeaderFunction>(
        reinterpret_cast<void*>(GetProcAddress(dbghelp.get(), "ImageNtHeader")));
    if (!imageNtHeader)
        return nullptr;
    return reinterpret_cast<const unsigned char*>(imageNtHeader(const_cast<unsigned char*>(image)));
}

} // namespace noviq::platform
