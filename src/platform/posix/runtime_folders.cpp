// Linux: the folders under the system JVM folder, and non-blocking probes of regular files.
#include "platform/runtime_folders.h"

#include <algorithm>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/text.h"

namespace noviq::platform {

namespace {

std::string jvmRoot() {
    const char* configured = std::getenv("NOVIQ_JVM_ROOT");
    std::string root = configured && *configured ? configured : "/usr/lib/jvm";
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    return root;
}

std::string bytes(const WideString& text) {
    return narrow(text.c_str(), text.length()).c_str();
}

} // namespace

WideString installedRuntimesRoot() {
    return widen(jvmRoot().c_str());
}

StringList installedRuntimeFolders() {
    const std::string root = jvmRoot();
    std::vector<std::string> names;
    if (DIR* dir = opendir(root.c_str())) {
        while (const dirent* entry = readdir(dir))
            names.push_back(entry->d_name);
        closedir(dir);
    }
    std::sort(names.begin(), names.end());

    std::vector<std::string> links, kept;
    std::set<std::string> seen;
    for (const std::string& name : names) {
        if (name == "." || name == "..")
            continue;
        const std::string path = root + "/" + name;
        struct stat st;
        if (lstat(path.c_str(), &st) != 0)
            continue;
        if (S_ISLNK(st.st_mode)) {
            links.push_back(name);
            continue;
        }
        char resolved[PATH_MAX];
        if (S_ISDIR(st.st_mode) && realpath(path.c_str(), resolved)) {
            seen.insert(resolved);
            kept.push_back(name);
        }
    }
    for (const std::string& name : links) {
        char resolved[PATH_MAX];
        if (realpath((root + "/" + name).c_str(), resolved) && seen.insert(resolved).second)
            kept.push_back(name);
    }
    StringList folders;
    for (const std::string& name : kept) {
        const std::string path = root + "/" + name;
        folders.add(widen(path.c_str(), static_cast<int32_t>(path.size())));
    }
    return folders;
}

const bool kJavaHomeNamesARuntime = true;

bool isFolder(const WideString& path) {
    struct stat st;
    return stat(bytes(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

NarrowString readFileStart(const WideString& path, int32_t limit) {
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer for ever.
    const int fd = open(bytes(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return NarrowString();
    std::string content;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        char buffer[4096];
        while (static_cast<int32_t>(content.size()) < limit) {
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n <= 0)
                break;
            content.append(buffer, static_cast<size_t>(n));
        }
    }
    close(fd);
    if (static_cast<int32_t>(content.size()) > limit)
        content.resize(static_cast<size_t>(limit));
    return NarrowString(content.data(), static_cast<int32_t>(content.size()));
}

} // namespace noviq::platform
