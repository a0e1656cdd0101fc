// Linux: existence probe, directory search with "*"/"?" patterns, folders, mapped files.
#include "platform/files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "platform/posix/scoped_resource.h"
#include "platform/process.h"
#include "platform/text.h"

namespace noviq::platform {

bool firstFileExists(const WideString& path) {
    if (path.isEmpty())
        return false;
    struct stat st;
    return stat(narrow(path).c_str(), &st) == 0;
}

bool leadsToExistingFile(const WideString& path) {
    struct stat st;
    return !path.isEmpty() && stat(narrow(path).c_str(), &st) == 0; // stat follows links
}

namespace {

// The bytes of the UTF-8 character that starts at text[i] (a stray byte counts as one).
size_t characterLength(const char* text, size_t i, size_t length) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    size_t n = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    if (i + n > length)
        return 1;
    for (size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
            return 1;
    return n;
}

// "*" matches any run of characters, "?" any one character (not one byte of it); every
// other character, "[" and "\" included, stands for itself, as in a Windows file search.
bool matchesWildcards(const std::string& pattern, const char* name) {
    size_t p = 0, n = 0, starP = std::string::npos, starN = 0;
    const size_t length = std::strlen(name);
    while (n < length) {
        if (p < pattern.size() && pattern[p] == '?') {
            ++p;
            n += characterLength(name, n, length);
        } else if (p < pattern.size() && pattern[p] == name[n]) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            starN += characterLength(name, starN, length);
            n = starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace

// The matches are read at once and sorted, so a search returns names in the same order on
// every file system (NTFS, which Windows users see, returns them sorted as well).
struct DirectorySearch::State {
    std::vector<std::string> names;
    size_t next = 0;
};

DirectorySearch::DirectorySearch(const WideString& pattern) : state_(new State) {
    const std::string text = narrow(pattern).c_str();
    const size_t slash = text.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : text.substr(0, slash + 1);
    const std::string namePattern = slash == std::string::npos ? text : text.substr(slash + 1);
    if (namePattern.empty())
        return;
    if (namePattern.find_first_of("*?") == std::string::npos) {
        struct stat st;
        if (stat(text.c_str(), &st) == 0)
            state_->names.push_back(namePattern);
        return;
    }
    const posix::ScopedDir dir(opendir(folder.c_str()));
    if (!dir)
        return;
    while (const dirent* entry = readdir(dir.get())) {
        if (matchesWildcards(namePattern, entry->d_name))
            state_->names.push_back(entry->d_name);
    }
    std::sort(state_->names.begin(), state_->names.end());
}

DirectorySearch::~DirectorySearch() {
    delete state_;
}

DirectorySearch::DirectorySearch(DirectorySearch&& other) noexcept : state_(other.state_) {
    other.state_ = nullptr;
}

bool DirectorySearch::next(WideString& name) {
    if (!state_ || state_->next >= state_->names.size())
        return false;
    name = widen(state_->names[state_->next++].c_str());
    return true;
}

std::optional<uint64_t> regularFileSize(const WideString& path) {
    struct stat st;
    if (stat(narrow(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return static_cast<uint64_t>(st.st_size);
}

std::optional<FileStamp> regularFileStamp(const WideString& path) {
    struct stat st;
    if (stat(narrow(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return FileStamp{static_cast<uint64_t>(st.st_size),
                     static_cast<uint64_t>(st.st_mtim.tv_sec) * 1000000000u +
                         static_cast<uint64_t>(st.st_mtim.tv_nsec)};
}

uint32_t createNewFile(const WideString& path) {
    const posix::ScopedFd fd(
        open(narrow(path).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644));
    return fd ? 0 : static_cast<uint32_t>(errno);
}

uint32_t renameFile(const WideString& from, const WideString& to) {
    return rename(narrow(from).c_str(), narrow(to).c_str()) == 0 ? 0 : static_cast<uint32_t>(errno);
}

uint32_t removeFile(const WideString& path) {
    return unlink(narrow(path).c_str()) == 0 ? 0 : static_cast<uint32_t>(errno);
}

bool appendToFile(const WideString& path, const char* bytes, int32_t length) {
    const posix::ScopedFd fd(
        open(narrow(path).c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0600));
    struct stat st;
    if (!fd || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    return write(fd.get(), bytes, static_cast<size_t>(length)) == static_cast<ssize_t>(length);
}

bool isSameFile(const WideString& a, const WideString& b) {
    struct stat first, second;
    return stat(narrow(a).c_str(), &first) == 0 && stat(narrow(b).c_str(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

uint32_t createDirectory(const WideString& path) {
    if (mkdir(narrow(path).c_str(), 0777) == 0)
        return 0;
    setLastError(static_cast<uint32_t>(errno));
    return static_cast<uint32_t>(errno);
}

uint32_t removeDirectory(const WideString& path) {
    return rmdir(narrow(path).c_str()) == 0 ? 0 : static_cast<uint32_t>(errno);
}

// Members are destroyed in reverse order of declaration: the view before the descriptor.
struct MappedImage::Handles {
    posix::ScopedFd fd;
    posix::ScopedMapping view;
};

MappedImage::MappedImage(const WideString& path) {
    // Non-blocking, so that a FIFO or device standing where a library should be cannot
    // hold the start-up; only regular files are mapped.
    posix::ScopedFd fd(open(narrow(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd)
        return;
    handles_ = new Handles;
    handles_->fd = std::move(fd);
    struct stat st;
    if (fstat(handles_->fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0)
        return;
    const size_t length = static_cast<size_t>(st.st_size);
    handles_->view.reset(
        {mmap(nullptr, length, PROT_READ, MAP_PRIVATE, handles_->fd.get(), 0), length});
    if (!handles_->view)
        return;
    data_ = static_cast<const unsigned char*>(handles_->view.get().address);
    size_ = static_cast<uint64_t>(st.st_size);
}

MappedImage::~MappedImage() {
    delete handles_;
}

} // namespace noviq::platform
