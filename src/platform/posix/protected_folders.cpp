// Linux: folders and files of the effective uid alone. A folder someone else owns or may
// write could have its entries renamed or replaced, so every folder on the way counts, and
// below the cache folder the check is made with lstat so that a link never stands in for one.
#include "platform/protected_folders.h"

#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "base/format.h"
#include "platform/text.h"

namespace noviq::platform {

namespace {

std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// The folders from the first one checked down to `path`, and `path`; empty when `path` is
// not below `root`.
std::vector<std::string> chainOf(const WideString& root, const WideString& path,
                                 FolderWriters writers) {
    const std::string base = withoutTrailingSlash(narrow(root).c_str());
    const std::string full = withoutTrailingSlash(narrow(path).c_str());
    if (base.empty() || base.front() != '/' ||
        (full != base && !full.starts_with(base == "/" ? base : base + "/")))
        return {};
    // Root's folders are only root's where nobody else can rename anything above them.
    const std::string first = writers == FolderWriters::Administrators ? "/" : base;
    std::vector<std::string> chain{first};
    if (full == first)
        return chain;
    for (size_t at = full.find('/', first == "/" ? 1 : first.size() + 1);;
         at = full.find('/', at + 1)) {
        chain.push_back(full.substr(0, at));
        if (at == std::string::npos)
            return chain;
    }
}

// With `followLink`, a link is judged by what it names.
std::optional<WideString> whyNotOwn(const std::string& path, bool followLink) {
    const WideString name = widen(path.c_str());
    struct stat st {};
    if ((followLink ? stat(path.c_str(), &st) : lstat(path.c_str(), &st)) != 0)
        return Format(u"%s cannot be examined (error %u)", name, static_cast<uint32_t>(errno));
    if (S_ISLNK(st.st_mode))
        return Format(u"%s is a link", name);
    if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode))
        return Format(u"%s is neither a folder nor a file", name);
    if (st.st_uid != geteuid())
        return Format(u"%s belongs to uid %u, not to this process's %u", name,
                      static_cast<uint32_t>(st.st_uid), static_cast<uint32_t>(geteuid()));
    if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return Format(u"%s can be written by its group or others", name);
    return std::nullopt;
}

} // namespace

WideString protectedCacheRoot() {
    return geteuid() == 0 ? WideString(u"/var/cache") : WideString();
}

// Root's folders are made as anyone's: 0700, owned by the process.
uint32_t createPrivateFolders(const WideString& root, const WideString& folder, FolderWriters) {
    const std::vector<std::string> chain = chainOf(root, folder, FolderWriters::ThisUser);
    if (chain.empty())
        return EINVAL;
    for (const std::string& each : chain)
        if (mkdir(each.c_str(), 0700) != 0 && errno != EEXIST)
            return static_cast<uint32_t>(errno);
    return 0;
}

std::optional<WideString> whyNotPrivate(const WideString& root, const WideString& path,
                                        FolderWriters writers) {
    if (writers == FolderWriters::Administrators && geteuid() != 0)
        return WideString(u"this process is not root");
    const std::vector<std::string> chain = chainOf(root, path, writers);
    if (chain.empty())
        return Format(u"%s is not below %s", path, root);
    // The user's own cache folder may be a link of the user's (its folder is not checked
    // either); below it, and for root everywhere, a link could be re-pointed after the check.
    for (size_t i = 0; i < chain.size(); ++i)
        if (std::optional<WideString> why =
                whyNotOwn(chain[i], i == 0 && writers == FolderWriters::ThisUser))
            return why;
    return std::nullopt;
}

} // namespace noviq::platform
