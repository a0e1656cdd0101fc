// The runtime search: "JRE Path", the runtime beside the executable, then the installed
// runtimes of the native and (for a paired program) the 32-bit registry view.
#include "jre/runtime_search.h"

#include <algorithm>

#include "jre/jvm_library.h"
#include "launcher/launcher.h"
#include "platform/path_style.h"

namespace noviq {

namespace {

using platform::RegistryView;

const VendorKey kJavaSoftJdk{u"Software\\JavaSoft\\Java Development Kit\\", true, false};
const VendorKey kJavaSoftJre{u"Software\\JavaSoft\\Java Runtime Environment\\", false, true};
const VendorKey kJRockitJre{u"Software\\JRockit\\Java Runtime Environment\\", false, false};
const VendorKey kJRockitJdk{u"Software\\JRockit\\Java Development Kit\\", true, false};
const VendorKey kIbmJre{u"Software\\IBM\\Java2 Runtime Environment\\", false, false};

WideString withSeparator(WideString folder) {
    if (folder.isEmpty() || folder.last() != platform::kPathSeparator)
        folder += platform::kPathSeparator;
    return folder;
}

} // namespace

WideString JreSearch::findRuntime(Launcher& launcher) {
    launcher.runtimeIs32Bit = false;

    // The configured folder is taken as it is: no version test, no marker test.
    if (!preferences_.jrePath.isEmpty()) {
        const JvmLibraryChoice choice =
            resolveJvmLibrary(withSeparator(preferences_.jrePath), preferences_.jvmType);
        if (!choice.path.isEmpty()) {
            launcher.jvmLibraryPath = choice.path;
            launcher.checkJvmArchitecture();
            return choice.path;
        }
    }

    // A runtime shipped beside the executable is this build's own: never a 32-bit one.
    if (const std::optional<WideString> local = findLocalRuntime(launcher)) {
        const JvmLibraryChoice choice = resolveJvmLibrary(*local, preferences_.jvmType);
        if (!choice.path.isEmpty())
            return choice.path;
    }

    bool is32Bit = false;
    std::optional<JreCandidate> chosen = scanRegistry(RegistryView::Native);
    if (!chosen) {
        chosen = scanRegistry(RegistryView::Wow32);
        is32Bit = chosen.has_value();
    }
    if (!chosen)
        return WideString();
    const WideString path = resolveJvmLibrary(chosen->homeFolder, preferences_.jvmType).path;
    if (!path.isEmpty())
        launcher.runtimeIs32Bit = is32Bit;
    return path;
}

std::optional<WideString> JreSearch::findLocalRuntime(Launcher& launcher) const {
    WideString executable;
    if (!launcher.modulePath(executable))
        return std::nullopt; // reported by modulePath
    const WideString folder = executable.Left(executable.ReverseFind(platform::kPathSeparator) + 1);
    if (hasRuntimeMarker(folder))
        return folder;
    const WideString sub = folder + u"jre64" + WideString(&platform::kPathSeparator, 1);
    if (hasRuntimeMarker(sub))
        return sub;
    return std::nullopt;
}

std::optional<JreCandidate> JreSearch::scanRegistry(RegistryView view) const {
    if (view == RegistryView::Wow32 && !preferences_.pairProductSet)
        return std::nullopt;

    const JreSearchPreferences& p = preferences_;
    const bool jdkKeys = p.searchBothKinds || p.preferJdk;
    const bool jreKeys = p.searchBothKinds || p.preferJre;
    const bool sun = p.sunAllowed || p.sunPreferred;
    const bool jrockit = p.jrockitAllowed || p.jrockitPreferred;
    const bool ibm = p.ibmAllowed || p.ibmPreferred;
    struct Row {
        const VendorKey& key;
        bool scanned;
        bool isPreferred;
    };
    const Row rows[] = {
        {kJavaSoftJdk, jdkKeys && sun, p.preferJdk && p.sunPreferred},
        {kJavaSoftJre, jreKeys && sun, p.preferJre && p.sunPreferred},
        {kJRockitJre, jreKeys && jrockit, p.preferJre && p.jrockitPreferred},
        {kJRockitJdk, jdkKeys && jrockit, p.preferJdk && p.jrockitPreferred},
        {kIbmJre, jreKeys && ibm, p.preferJre && p.ibmPreferred},
    };

    std::vector<JreCandidate> candidates;
    for (const Row& row : rows)
        if (row.scanned)
            scanRegistryKey(row.key, row.isPreferred, view, candidates);
    if (candidates.empty())
        return std::nullopt;
    sortCandidates(candidates);
    return selectCandidate(candidates);
}

void JreSearch::scanRegistryKey(const VendorKey& key, bool isPreferred, RegistryView view,
                                std::vector<JreCandidate>& candidates) const {
    platform::RegistryKey vendorKey;
    if (!vendorKey.open(view, key.path))
        return;
    // All names first: reading the version subkeys must not disturb the enumeration.
    std::vector<WideString> names;
    WideString name;
    for (uint32_t index = 0; vendorKey.subkeyName(index, name); ++index)
        names.push_back(name);

    for (const WideString& subkey : names) {
        JavaVersion version;
        version.parse(subkey, 0);
        if (!preferences_.range.contains(version))
            continue;
        if (std::optional<JreCandidate> candidate = readJavaHome(key, subkey, view)) {
            candidate->version = version;
            candidate->isPreferred = isPreferred;
            candidates.push_back(*candidate);
        }
    }
}

std::optional<JreCandidate> JreSearch::readJavaHome(const VendorKey& key,
                                                    const WideString& subkeyName,
                                                    RegistryView view) const {
    platform::RegistryKey versionKey;
    WideString home;
    if (!versionKey.open(view, key.path + subkeyName) || !versionKey.readText(u"JavaHome", home) ||
        home.isEmpty())
        return std::nullopt;
    home = withSeparator(home);
    if (key.isJdk)
        home = home + u"jre" + WideString(&platform::kPathSeparator, 1);

    JvmType probe = preferences_.jvmType;
    if (key.probesFavorServerAsDefault && probe == JvmType::FavorServer)
        probe = JvmType::Default;
    const JvmLibraryChoice choice = resolveJvmLibrary(home, probe);
    if (choice.path.isEmpty())
        return std::nullopt;
    JreCandidate candidate;
    candidate.homeFolder = home;
    candidate.isServerVm = choice.isServerVm;
    return candidate;
}

void JreSearch::sortCandidates(std::vector<JreCandidate>& candidates) const {
    const bool byPreference = preferences_.searchBothKinds;
    const bool byServer = preferences_.jvmType == JvmType::FavorServer;
    // Stable: candidates equal under every active key keep their discovery order, which is
    // the order repeated adjacent swaps of strictly-ahead neighbours would leave.
    std::stable_sort(candidates.begin(), candidates.end(),
                     [&](const JreCandidate& a, const JreCandidate& b) {
                         if (byPreference && a.isPreferred != b.isPreferred)
                             return a.isPreferred;
                         if (byServer && a.isServerVm != b.isServerVm)
                             return a.isServerVm;
                         return a.version > b.version;
                     });
}

const JreCandidate& JreSearch::selectCandidate(const std::vector<JreCandidate>& candidates) const {
    for (const WideString& entry : preferences_.preferredVersions) {
        JavaVersion preferred;
        preferred.parse(entry, 0);
        for (const JreCandidate& candidate : candidates)
            if (candidate.version.matchesPreferred(preferred))
                return candidate;
    }
    return candidates.front();
}

WideString findRuntime(Launcher& launcher, const JreSearchPreferences& preferences) {
    return JreSearch(preferences).findRuntime(launcher);
}

} // namespace noviq
