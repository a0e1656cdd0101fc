// Linux: the runtime folders under the system JVM folder (/usr/lib/jvm, or $NOVIQ_JVM_ROOT),
// presented as the registry keys a Java installer writes on Windows: one version subkey per
// runtime under its vendor's key, holding "JavaHome". The 32-bit view is empty.
#include "platform/registry.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <limits.h>
#include <set>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "common/text.h"
#include "platform/runtime_layout.h"

namespace noviq::platform {

namespace {

// The installers' vendor keys, in the shape the search asks for them.
enum Row { JavaSoftJdk, JavaSoftJre, JRockitJre, JRockitJdk, IbmJre, kRowCount };
const char* const kRowPaths[kRowCount] = {
    "Software\\JavaSoft\\Java Development Kit",    "Software\\JavaSoft\\Java Runtime Environment",
    "Software\\JRockit\\Java Runtime Environment", "Software\\JRockit\\Java Development Kit",
    "Software\\IBM\\Java2 Runtime Environment",
};

// Registry paths match without regard to the case of ASCII letters.
int rowOf(const std::string& path) {
    for (int row = 0; row < kRowCount; ++row) {
        const char* expected = kRowPaths[row];
        if (path.size() != std::strlen(expected))
            continue;
        bool same = true;
        for (size_t i = 0; same && i < path.size(); ++i) {
            auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
            same = lower(path[i]) == lower(expected[i]);
        }
        if (same)
            return row;
    }
    return -1;
}

std::string jvmRoot() {
    const char* configured = std::getenv("NOVIQ_JVM_ROOT");
    std::string root = configured && *configured ? configured : "/usr/lib/jvm";
    while (root.size() > 1 && root.back() == '/')
        root.pop_back();
    return root;
}

bool isDirectory(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool hasMarker(const std::string& folder) {
    for (const WideString& subpath : runtimeMarkerSubpaths()) {
        struct stat st;
        if (stat((folder + noviq::narrow(subpath).c_str()).c_str(), &st) == 0)
            return true;
    }
    return false;
}

// The value of KEY in a runtime's "release" file (lines KEY="value"); empty when absent.
std::string releaseValue(const std::string& content, const char* key) {
    const std::string prefix = std::string(key) + "=";
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.compare(0, prefix.size(), prefix) == 0) {
            std::string value = line.substr(prefix.size());
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
                value = value.substr(1, value.size() - 2);
            return value;
        }
        start = end + 1;
    }
    return std::string();
}

std::string readSmallFile(const std::string& path) {
    std::string content;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file)
        return content;
    char buffer[4096];
    size_t n;
    while (content.size() < 65536 && (n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
        content.append(buffer, n);
    std::fclose(file);
    return content;
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A folder name's version: the first run of digits, dots and underscores
// (java-1.8.0-openjdk-amd64 gives 1.8.0, jdk1.8.0_202 gives 1.8.0_202), so that an
// architecture suffix such as amd64 is not read as a version component.
std::string versionInName(const std::string& name) {
    size_t start = 0;
    while (start < name.size() && !isDigit(name[start]))
        ++start;
    size_t end = start;
    while (end < name.size() && (isDigit(name[end]) || name[end] == '.' || name[end] == '_'))
        ++end;
    return name.substr(start, end - start);
}

// The version as exactly four dot-separated digit groups, missing ones 0. The subkey name
// appends the folder name after it; with four groups in front, digits in the folder name
// can no longer be read as part of the version.
std::string fourGroups(const std::string& text) {
    std::string groups[4] = {"0", "0", "0", "0"};
    size_t i = 0;
    for (int g = 0; g < 4; ++g) {
        while (i < text.size() && !isDigit(text[i]))
            ++i;
        if (i == text.size())
            break;
        const size_t start = i;
        while (i < text.size() && isDigit(text[i]))
            ++i;
        groups[g] = text.substr(start, i - start);
    }
    return groups[0] + "." + groups[1] + "." + groups[2] + "." + groups[3];
}

struct Runtime {
    int row = -1;
    std::string subkey;
    std::string javaHome;
};

// What the registry would hold for the runtime folder root/entry; false when the folder is
// not a Java runtime. A folder with a jre/ sub-folder is a JDK of the Java 8 layout.
bool describeRuntime(const std::string& root, const std::string& entry, Runtime& runtime) {
    if (entry.empty() || entry[0] == '.' || entry.find('\\') != std::string::npos)
        return false;
    const std::string folder = root + "/" + entry;
    if (!isDirectory(folder))
        return false;
    const bool hasJre = isDirectory(folder + "/jre");
    if (!hasMarker(folder + "/") && !(hasJre && hasMarker(folder + "/jre/")))
        return false;

    const std::string release = readSmallFile(folder + "/release");
    std::string version = releaseValue(release, "JAVA_VERSION");
    if (version.find_first_of("0123456789") == std::string::npos)
        version = versionInName(entry);
    const std::string implementor = releaseValue(release, "IMPLEMENTOR");

    runtime.javaHome = folder;
    if (implementor.find("IBM") != std::string::npos) {
        // IBM registers runtimes only; a JDK is represented by its own runtime folder.
        runtime.row = IbmJre;
        if (hasJre)
            runtime.javaHome = folder + "/jre";
    } else if (implementor.find("JRockit") != std::string::npos ||
               implementor.find("BEA") != std::string::npos) {
        runtime.row = hasJre ? JRockitJdk : JRockitJre;
    } else {
        runtime.row = hasJre ? JavaSoftJdk : JavaSoftJre;
    }
    runtime.subkey = fourGroups(version) + " " + entry;
    return true;
}

// The entries of the root, one per real folder: an alias (a symbolic link to a folder
// already listed, such as java-1.17.0-openjdk-amd64 -> java-17-openjdk-amd64) is dropped.
std::vector<std::string> distinctEntries(const std::string& root) {
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
    return kept;
}

} // namespace

struct RegistryKey::State {
    std::vector<WideString> subkeys;
    bool hasJavaHome = false;
    WideString javaHome;
};

RegistryKey::~RegistryKey() {
    close();
}

RegistryKey::RegistryKey(RegistryKey&& other) noexcept : state_(other.state_) {
    other.state_ = nullptr;
}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
    if (this != &other) {
        close();
        state_ = other.state_;
        other.state_ = nullptr;
    }
    return *this;
}

void RegistryKey::close() {
    delete state_;
    state_ = nullptr;
}

bool RegistryKey::open(RegistryView view, const WideString& path) {
    close();
    if (view == RegistryView::Wow32)
        return false; // no 32-bit runtimes are registered on this system
    std::string key = noviq::narrow(path).c_str();
    while (!key.empty() && key.back() == '\\')
        key.pop_back();
    const std::string root = jvmRoot();

    if (const int row = rowOf(key); row >= 0) {
        std::vector<std::string> subkeys;
        for (const std::string& entry : distinctEntries(root)) {
            Runtime runtime;
            if (describeRuntime(root, entry, runtime) && runtime.row == row)
                subkeys.push_back(runtime.subkey);
        }
        // Registry subkeys enumerate in name order.
        std::sort(subkeys.begin(), subkeys.end());
        state_ = new State;
        for (const std::string& name : subkeys)
            state_->subkeys.push_back(noviq::widen(name.c_str()));
        return true;
    }

    // A version subkey "<version> <folder name>" under a vendor key.
    const size_t separator = key.rfind('\\');
    if (separator == std::string::npos || rowOf(key.substr(0, separator)) < 0)
        return false;
    const std::string name = key.substr(separator + 1);
    const size_t space = name.find(' ');
    Runtime runtime;
    if (space == std::string::npos || !describeRuntime(root, name.substr(space + 1), runtime) ||
        runtime.row != rowOf(key.substr(0, separator)) || runtime.subkey != name)
        return false;
    state_ = new State;
    state_->hasJavaHome = true;
    state_->javaHome = noviq::widen(runtime.javaHome.c_str());
    return true;
}

bool RegistryKey::subkeyName(uint32_t index, WideString& name) const {
    if (!state_ || index >= state_->subkeys.size())
        return false;
    name = state_->subkeys[index];
    return true;
}

bool RegistryKey::readText(const WideString& valueName, WideString& text) const {
    if (!state_ || !state_->hasJavaHome || !equalsIgnoringAsciiCase(valueName, "JavaHome"))
        return false;
    text = state_->javaHome;
    return true;
}

} // namespace noviq::platform
