// Windows: existence probe, directory search, folders and mapped files.
#include "platform/files.h"

#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

namespace noviq::platform {

using namespace win32;

bool firstFileExists(const WideString& path) {
    WIN32_FIND_DATAW data;
    return ScopedFindHandle(FindFirstFileW(w(path), &data)).isValid();
}

bool leadsToExistingFile(const WideString& path) {
    const DWORD saved = GetLastError();
    const DWORD attributes = GetFileAttributesW(w(path));
    bool exists = attributes != INVALID_FILE_ATTRIBUTES;
    // The attributes are the link's own; opening it follows the link to its target.
    if (exists && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        exists = ScopedKernelHandle(
                     CreateFileW(w(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr))
                     .isValid();
    SetLastError(saved);
    return exists;
}

struct DirectorySearch::State {
    ScopedFindHandle handle;
    WIN32_FIND_DATAW data;
    bool pending = false;
};

DirectorySearch::DirectorySearch(const WideString& pattern) : state_(new State) {
    state_->handle.reset(FindFirstFileW(w(pattern), &state_->data));
    state_->pending = state_->handle.isValid();
}

DirectorySearch::~DirectorySearch() {
    delete state_;
}

DirectorySearch::DirectorySearch(DirectorySearch&& other) noexcept : state_(other.state_) {
    other.state_ = nullptr;
}

bool DirectorySearch::next(WideString& name) {
    if (!state_ || !state_->handle)
        return false;
    if (!state_->pending && !FindNextFileW(state_->handle.get(), &state_->data))
        return false;
    state_->pending = false;
    name = str(state_->data.cFileName);
    return true;
}

std::optional<uint64_t> regularFileSize(const WideString& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(w(path), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
}

std::optional<FileStamp> regularFileStamp(const WideString& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(w(path), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)))
        return std::nullopt;
    return FileStamp{(uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow,
                     (uint64_t{data.ftLastWriteTime.dwHighDateTime} << 32) |
                         data.ftLastWriteTime.dwLowDateTime};
}

uint32_t createNewFile(const WideString& path) {
    const ScopedKernelHandle file(CreateFileW(w(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                              FILE_ATTRIBUTE_NORMAL, nullptr));
    return file ? 0 : GetLastError();
}

uint32_t renameFile(const WideString& from, const WideString& to) {
    return MoveFileExW(w(from), w(to), MOVEFILE_REPLACE_EXISTING) ? 0 : GetLastError();
}

uint32_t removeFile(const WideString& path) {
    return DeleteFileW(w(path)) ? 0 : GetLastError();
}

namespace {

bool fileIdentity(const WideString& path, BY_HANDLE_FILE_INFORMATION& info) {
    // No access asked: the identity can be read even while another stream writes the file.
    const ScopedKernelHandle file(
        CreateFileW(w(path), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file && GetFileInformationByHandle(file.get(), &info);
}

} // namespace

bool appendToFile(const WideString& path, const char* bytes, int32_t length) {
    const DWORD saved = GetLastError();
    const ScopedKernelHandle file(CreateFileW(w(path), FILE_APPEND_DATA,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    const bool ok = file && GetFileType(file.get()) == FILE_TYPE_DISK &&
                    WriteFile(file.get(), bytes, static_cast<DWORD>(length), &written, nullptr) &&
                    written == static_cast<DWORD>(length);
    SetLastError(saved);
    return ok;
}

bool isSameFile(const WideString& a, const WideString& b) {
    const DWORD saved = GetLastError();
    BY_HANDLE_FILE_INFORMATION first, second;
    const bool same = fileIdentity(a, first) && fileIdentity(b, second) &&
                      first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
                      first.nFileIndexHigh == second.nFileIndexHigh &&
                      first.nFileIndexLow == second.nFileIndexLow;
    SetLastError(saved);
    return same;
}

uint32_t createDirectory(const WideString& path) {
    return CreateDirectoryW(w(path), nullptr) ? 0 : GetLastError();
}

uint32_t removeDirectory(const WideString& path) {
    return RemoveDirectoryW(w(path)) ? 0 : GetLastError();
}

// Members are destroyed in reverse order of declaration, which is the reverse order of
// acquisition: view, mapping, file.
struct MappedImage::Handles {
    ScopedKernelHandle file;
    ScopedKernelHandle mapping;
    ScopedMappedView view;
};

MappedImage::MappedImage(const WideString& path) : handles_(new Handles) {
    handles_->file.reset(CreateFileW(w(path), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handles_->file)
        return;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(handles_->file.get(), &size) || size.QuadPart == 0)
        return;
    handles_->mapping.reset(
        CreateFileMappingW(handles_->file.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!handles_->mapping)
        return;
    handles_->view.reset(MapViewOfFile(handles_->mapping.get(), FILE_MAP_READ, 0, 0, 0));
    if (!handles_->view)
        return;
    data_ = static_cast<const unsigned char*>(handles_->view.get());
    size_ = static_cast<uint64_t>(size.QuadPart);
}

MappedImage::~MappedImage() {
    delete handles_;
}

} // namespace noviq::platform
