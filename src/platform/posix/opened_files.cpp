// Linux: the trace file and the Java streams' files, opened without following a link in the
// last component and taken only when they belong to the effective uid; an elevated start's
// new file only in a folder that no one but root (its owner) can write.
#include "platform/opened_files.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/posix/scoped_resource.h"
#include "platform/text.h"

namespace noviq::platform {

namespace {

WideString errnoText(const char* what, int error) {
    return widen((std::string(what) + ": " + strerror(error)).c_str());
}

// The folder of `path` belongs to the effective uid (root) and no one else may write it,
// not even through a sticky, world-writable folder such as /tmp.
WideString protectedFolderProblem(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : path.substr(0, slash);
    struct stat st {};
    if (lstat(folder.c_str(), &st) != 0)
        return errnoText("its folder cannot be read", errno);
    if (!S_ISDIR(st.st_mode) || st.st_uid != geteuid() || (st.st_mode & (S_IWGRP | S_IWOTH)))
        return u"its folder is no folder that only this user can write";
    return WideString();
}

// An opened file of the effective uid, and regular (a pipe or a device would block or
// go nowhere the user meant).
WideString openedFileProblem(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0)
        return errnoText("it cannot be read", errno);
    if (!S_ISREG(st.st_mode))
        return u"it is no regular file";
    if (st.st_uid != geteuid())
        return u"it belongs to another user";
    return WideString();
}

int openNoFollow(const std::string& path, int flags) {
    return open(path.c_str(), flags | O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK,
                0600);
}

WideString openProblem(int error) {
    return error == ELOOP    ? WideString(u"it is a symbolic link")
           : error == EEXIST ? WideString(u"it exists already")
                             : errnoText("it cannot be opened", error);
}

} // namespace

struct AppendingFile::State {
    posix::ScopedFd fd;
};

AppendingFile::~AppendingFile() {
    delete state_;
}

WideString AppendingFile::open(const WideString& path, OpenRule rule) {
    const std::string name = narrow(path).c_str();
    if (rule == OpenRule::NewInProtectedFolder)
        if (WideString problem = protectedFolderProblem(name); !problem.isEmpty())
            return problem;
    posix::ScopedFd fd(
        openNoFollow(name, O_APPEND | (rule == OpenRule::NewInProtectedFolder ? O_EXCL : 0)));
    if (!fd)
        return openProblem(errno);
    if (WideString problem = openedFileProblem(fd.get()); !problem.isEmpty())
        return problem;
    delete state_;
    state_ = new State{std::move(fd)};
    return WideString();
}

bool AppendingFile::append(const char* bytes, int32_t length) const {
    return state_ && write(state_->fd.get(), bytes, static_cast<size_t>(length)) ==
                         static_cast<ssize_t>(length);
}

std::optional<int64_t> openStreamFile(const WideString& path, WideString& refused) {
    posix::ScopedFd fd(openNoFollow(narrow(path).c_str(), 0));
    if (!fd) {
        refused = openProblem(errno);
        return std::nullopt;
    }
    refused = openedFileProblem(fd.get());
    if (!refused.isEmpty())
        return std::nullopt;
    // Emptied only now that it is known to be this user's own regular file; writes block.
    if (ftruncate(fd.get(), 0) != 0 || fcntl(fd.get(), F_SETFL, 0) != 0) {
        refused = errnoText("it cannot be emptied", errno);
        return std::nullopt;
    }
    return fd.release();
}

const char* const kFileDescriptorField = "fd";
const char* const kFileDescriptorFieldType = "I";

} // namespace noviq::platform
