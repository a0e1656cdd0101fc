// Runtime folders installed without registry entries (the Linux JVM folder), described as
// the vendor keys' version subkeys an installer would have written: the vendor from the
// runtime's "release" file, the kind from its layout, the version from "release" or the
// folder name.
#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "common/path_utils.h"
#include "common/text.h"
#include "jre/jvm_library.h"
#include "jre/runtime_search.h"
#include "platform/environment.h"
#include "platform/path_style.h"
#include "platform/runtime_folders.h"

namespace noviq {

namespace {

// A "release" file is a few hundred bytes; anything past this is not read.
constexpr int32_t kReleaseFileLimit = 65536;

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
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

// A folder name's version: the first run of digits, dots and underscores
// (java-1.8.0-openjdk-amd64 gives 1.8.0, jdk1.8.0_202 gives 1.8.0_202), so that an
// architecture suffix such as amd64 is not read as a version component.
WideString versionInName(const WideString& name) {
    int32_t start = 0;
    while (start < name.length() && !isDigit(name[start]))
        ++start;
    int32_t end = start;
    while (end < name.length() && (isDigit(name[end]) || name[end] == u'.' || name[end] == u'_'))
        ++end;
    return name.Mid(start, end - start);
}

// The version as exactly four dot-separated digit groups, missing ones 0. The subkey name
// appends the folder name after it; with four groups in front, digits in the folder name
// can no longer be read as part of the version.
WideString fourGroups(const WideString& text) {
    WideString groups[4] = {u"0", u"0", u"0", u"0"};
    int32_t i = 0;
    for (int g = 0; g < 4; ++g) {
        while (i < text.length() && !isDigit(text[i]))
            ++i;
        if (i == text.length())
            break;
        const int32_t start = i;
        while (i < text.length() && isDigit(text[i]))
            ++i;
        groups[g] = text.Mid(start, i - start);
    }
    return groups[0] + u"." + groups[1] + u"." + groups[2] + u"." + groups[3];
}

// The subkey an installer would have written for the folder; nothing when the folder holds
// no runtime. A folder with a jre sub-folder is a JDK of the Java 8 layout.
std::optional<UnregisteredRuntime> describe(const WideString& folder) {
    const char16_t separator = platform::kPathSeparator;
    const WideString entry = folder.Mid(folder.ReverseFind(separator) + 1);
    if (entry.isEmpty() || entry[0] == u'.' || entry.Find(u'\\') >= 0 ||
        !platform::isFolder(folder))
        return std::nullopt;
    const WideString sep(&separator, 1);
    const bool hasJre = platform::isFolder(folder + sep + u"jre");
    if (!hasRuntimeMarker(folder + sep) &&
        !(hasJre && hasRuntimeMarker(folder + sep + u"jre" + sep)))
        return std::nullopt;

    const NarrowString releaseText =
        platform::readFileStart(folder + sep + u"release", kReleaseFileLimit);
    const std::string release(releaseText.c_str(), static_cast<size_t>(releaseText.length()));
    WideString version = widen(releaseValue(release, "JAVA_VERSION").c_str());
    bool hasDigit = false;
    for (int32_t i = 0; i < version.length(); ++i)
        hasDigit = hasDigit || isDigit(version[i]);
    if (!hasDigit)
        version = versionInName(entry);
    const std::string implementor = releaseValue(release, "IMPLEMENTOR");

    UnregisteredRuntime runtime{VendorKeyId::JavaSoftJre, fourGroups(version) + u" " + entry,
                                folder};
    if (implementor.find("IBM") != std::string::npos) {
        // IBM registers runtimes only; a JDK is represented by its own runtime folder.
        runtime.key = VendorKeyId::IbmJre;
        if (hasJre)
            runtime.javaHome = folder + sep + u"jre";
    } else if (implementor.find("JRockit") != std::string::npos ||
               implementor.find("BEA") != std::string::npos) {
        runtime.key = hasJre ? VendorKeyId::JRockitJdk : VendorKeyId::JRockitJre;
    } else {
        runtime.key = hasJre ? VendorKeyId::JavaSoftJdk : VendorKeyId::JavaSoftJre;
    }
    return runtime;
}

} // namespace

JavaVersion releaseVersionOf(const WideString& homeFolder) {
    const NarrowString text =
        platform::readFileStart(withTrailingSeparator(homeFolder) + u"release", kReleaseFileLimit);
    JavaVersion version;
    version.parse(widen(releaseValue(std::string(text.c_str(), static_cast<size_t>(text.length())),
                                     "JAVA_VERSION")
                            .c_str()),
                  0);
    return version;
}

std::vector<UnregisteredRuntime> describeUnregisteredRuntimes(bool javaHome) {
    // Registry subkeys enumerate in name order.
    std::vector<std::pair<std::string, UnregisteredRuntime>> byName;
    for (const WideString& folder : platform::installedRuntimeFolders())
        if (std::optional<UnregisteredRuntime> runtime = describe(folder))
            byName.emplace_back(narrow(runtime->subkeyName).c_str(), *runtime);
    std::sort(byName.begin(), byName.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<UnregisteredRuntime> runtimes;
    for (auto& [name, runtime] : byName)
        runtimes.push_back(runtime);
    if (javaHome && platform::kJavaHomeNamesARuntime) {
        WideString home = platform::wholeEnvironmentVariable(u"JAVA_HOME").value_or(WideString());
        while (home.length() > 1 && home.last() == platform::kPathSeparator)
            home = home.Left(home.length() - 1);
        bool listed = false;
        for (const UnregisteredRuntime& runtime : runtimes)
            listed = listed || runtime.javaHome == home;
        if (!home.isEmpty() && !listed)
            if (std::optional<UnregisteredRuntime> runtime = describe(home))
                runtimes.push_back(*runtime);
    }
    return runtimes;
}

} // namespace noviq
