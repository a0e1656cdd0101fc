// Linux: settings only root can change, in /var/lib/noviq. Every folder from / down to the
// file must belong to root, be no link and be writable by no one else; anything else is
// not used, so a folder another user could rename or fill never decides what root loads.
#include "platform/protected_settings.h"

#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/files.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace noviq::platform {

namespace {

constexpr char kRoot[] = "/var/lib/noviq";
const char16_t kSection[] = u"Settings";

// Root's own, no link, writable by root alone (a regular file or a folder).
bool isRootsAlone(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode) && st.st_uid == 0 &&
           (st.st_mode & (S_IWGRP | S_IWOTH)) == 0 && (S_ISDIR(st.st_mode) || S_ISREG(st.st_mode));
}

// Every folder from / down to `path`, and `path` itself, are root's alone.
bool isRootsAloneAllTheWay(const std::string& path) {
    if (!isRootsAlone("/"))
        return false;
    for (size_t at = path.find('/', 1);; at = path.find('/', at + 1)) {
        if (!isRootsAlone(path.substr(0, at)))
            return false;
        if (at == std::string::npos)
            return true;
    }
}

// The store's file for a scope; nothing where this process is not root or the scope could
// climb out of the store.
std::optional<std::string> storeFile(const WideString& scope) {
    if (geteuid() != 0 || scope.isEmpty())
        return std::nullopt;
    const std::string relative = narrow(scope).c_str();
    if (relative.front() == '/' || relative.find("/../") != std::string::npos ||
        relative.starts_with("../") || relative.find("//") != std::string::npos)
        return std::nullopt;
    return std::string(kRoot) + "/" + relative + ".ini";
}

} // namespace

std::optional<WideString> readProtectedSetting(const WideString& scope, const WideString& name) {
    const std::optional<std::string> file = storeFile(scope);
    if (!file || !isRootsAloneAllTheWay(*file))
        return std::nullopt;
    std::vector<char16_t> buffer(32768);
    const int32_t n = readProfileString(kSection, name, buffer.data(),
                                        static_cast<int32_t>(buffer.size()), widen(file->c_str()));
    return WideString(buffer.data(), n);
}

bool writeProtectedSetting(const WideString& scope, const WideString& name,
                           const WideString& value) {
    const std::optional<std::string> file = storeFile(scope);
    if (!file)
        return false;
    // Made by root with no write bits for anyone else, whatever the umask says.
    for (size_t at = std::string(kRoot).size(); at != std::string::npos;
         at = file->find('/', at + 1)) {
        const std::string folder = file->substr(0, at);
        if (mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
            return false;
    }
    const WideString path = widen(file->c_str());
    struct stat st {};
    if (lstat(file->c_str(), &st) != 0 && createNewFile(path) != 0)
        return false;
    return isRootsAloneAllTheWay(*file) && writeProfileString(kSection, name, value, path);
}

} // namespace noviq::platform
