// Windows: installers register their runtimes, so no folder is searched without a registry
// entry; the file probes serve runtime folders found through the registry.
#include "platform/runtime_folders.h"

#include <string>

#include "platform/win32/scoped_handle.h"

namespace noviq::platform {

using namespace win32;

StringList installedRuntimeFolders() {
    return StringList();
}

WideString installedRuntimesRoot() {
    return WideString();
}

const bool kJavaHomeNamesARuntime = false;

bool isFolder(const WideString& path) {
    const DWORD attributes = GetFileAttributesW(w(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

NarrowString readFileStart(const WideString& path, int32_t limit) {
    const DWORD saved = GetLastError();
    ScopedKernelHandle file(CreateFileW(w(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string content;
    // Only disk files: a pipe in its place could block the read.
    if (file && GetFileType(file.get()) == FILE_TYPE_DISK) {
        char buffer[4096];
        DWORD read = 0;
        while (static_cast<int32_t>(content.size()) < limit &&
               ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
            content.append(buffer, read);
    }
    SetLastError(saved);
    if (static_cast<int32_t>(content.size()) > limit)
        content.resize(static_cast<size_t>(limit));
    return NarrowString(content.data(), static_cast<int32_t>(content.size()));
}

} // namespace noviq::platform
