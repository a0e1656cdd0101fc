// File-system operations the core relies on: the first-file existence probe, directory
// searches, folder creation, and read-only views of a file.
#pragma once

#include <cstdint>
#include <optional>

#include "base/basic_string.h"

namespace noviq::platform {

// True when a first-file search on this exact path finds something (file or folder).
bool firstFileExists(const WideString& path);

// True when the path leads to an existing file or folder through any links on the way: a
// link whose target is gone leads nowhere.
bool leadsToExistingFile(const WideString& path);

// A directory search over a pattern whose last component may hold "*" and "?". Move-only;
// closes its handle once.
class DirectorySearch {
public:
    explicit DirectorySearch(const WideString& pattern);
    ~DirectorySearch();
    DirectorySearch(DirectorySearch&& other) noexcept;
    DirectorySearch& operator=(DirectorySearch&&) = delete;
    DirectorySearch(const DirectorySearch&) = delete;
    DirectorySearch& operator=(const DirectorySearch&) = delete;

    // The next matching name (no folder part); false when the search is over.
    bool next(WideString& name);

private:
    struct State;
    State* state_;
};

// The size of a regular file; nothing when the path is missing or is no regular file.
std::optional<uint64_t> regularFileSize(const WideString& path);

// What tells one version of a file from another: its size and last write time (in the
// system's own units).
struct FileStamp {
    uint64_t size = 0;
    uint64_t modified = 0;
    friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

// The stamp of a regular file; nothing when the path is missing or is no regular file.
std::optional<FileStamp> regularFileStamp(const WideString& path);

// Creates an empty file that must not exist yet; 0 on success, otherwise the system error
// code.
uint32_t createNewFile(const WideString& path);

// Gives a file another name, replacing a file of that name in one step where the system
// allows it; 0 on success, otherwise the system error code.
uint32_t renameFile(const WideString& from, const WideString& to);

// Removes one file; 0 on success, otherwise the system error code.
uint32_t removeFile(const WideString& path);

// Appends bytes to the regular file at path, creating it; false when that cannot be done.
bool appendToFile(const WideString& path, const char* bytes, int32_t length);

// True when both paths name one existing file (through links, other spellings or case).
bool isSameFile(const WideString& a, const WideString& b);

// Create or remove one folder; 0 on success, otherwise the system error code.
uint32_t createDirectory(const WideString& path);
uint32_t removeDirectory(const WideString& path);

// A read-only view of a whole file. Owns the file, the mapping and the view, released in
// reverse order of acquisition.
class MappedImage {
public:
    explicit MappedImage(const WideString& path);
    ~MappedImage();
    MappedImage(const MappedImage&) = delete;
    MappedImage& operator=(const MappedImage&) = delete;

    bool isOpen() const { return data_ != nullptr; }
    const unsigned char* data() const { return data_; }
    uint64_t size() const { return size_; }

private:
    struct Handles;
    Handles* handles_ = nullptr;
    const unsigned char* data_ = nullptr;
    uint64_t size_ = 0;
};

} // namespace noviq::platform
