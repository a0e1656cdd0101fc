// The runtime search: "JRE Path", the runtime beside the executable, then the installed
// runtimes of the native and (for a paired program) the 32-bit registry view.
#include "jre/runtime_search.h"

#include <algorithm>
#include <utility>

#include "common/path_utils.h"
#include "common/trace.h"
#include "jre/jvm_library.h"
#include "jre/library_image.h"
#include "platform/path_style.h"
#include "platform/runtime_folders.h"

namespace noviq {

namespace {

using platform::RegistryView;

const VendorKey kJavaSoftJdk{VendorKeyId::JavaSoftJdk,
                             u"Software\\JavaSoft\\Java Development Kit\\", true, false};
const VendorKey kJavaSoftJre{VendorKeyId::JavaSoftJre,
                             u"Software\\JavaSoft\\Java Runtime Environment\\", false, true};
const VendorKey kJRockitJre{VendorKeyId::JRockitJre,
                            u"Software\\JRockit\\Java Runtime Environment\\", false, false};
const VendorKey kJRockitJdk{VendorKeyId::JRockitJdk, u"Software\\JRockit\\Java Development Kit\\",
                            true, false};
const VendorKey kIbmJre{VendorKeyId::IbmJre, u"Software\\IBM\\Java2 Runtime Environment\\", false,
                        false};

// What the runtime folders described as a vendor key's subkeys are, in the trace.
const char16_t* kindOfRuntimes(VendorKeyId key) {
    switch (key) {
    case VendorKeyId::JavaSoftJdk:
        return u"the JDKs with a jre folder (Java 8 and older)";
    case VendorKeyId::JavaSoftJre:
        return u"the runtimes with the JVM in their own folder (JREs, JDKs from Java 9 on)";
    case VendorKeyId::JRockitJre:
        return u"the JRockit JREs";
    case VendorKeyId::JRockitJdk:
        return u"the JRockit JDKs";
    case VendorKeyId::IbmJre:
        return u"the IBM runtimes";
    }
    return u"the runtimes";
}

// The keys today's installers write: <path><version><below>, value <value>, the home
// folder of a Java 9 (or later) layout, or a JDK 8 one with its "jre" folder inside.
struct ModernKey {
    const char16_t* path;
    const char16_t* below;
    const char16_t* value;
    bool isJdk;
    bool isIbm; // an OpenJ9 runtime counts as IBM's; every other one as Sun/Oracle's
};

const ModernKey kModernKeys[] = {
    {u"Software\\JavaSoft\\JDK\\", u"", u"JavaHome", true, false},
    {u"Software\\JavaSoft\\JRE\\", u"", u"JavaHome", false, false},
    {u"Software\\Eclipse Adoptium\\JDK\\", u"\\hotspot\\MSI", u"Path", true, false},
    {u"Software\\Eclipse Adoptium\\JRE\\", u"\\hotspot\\MSI", u"Path", false, false},
    {u"Software\\AdoptOpenJDK\\JDK\\", u"\\hotspot\\MSI", u"Path", true, false},
    {u"Software\\AdoptOpenJDK\\JRE\\", u"\\hotspot\\MSI", u"Path", false, false},
    {u"Software\\Microsoft\\JDK\\", u"\\hotspot\\MSI", u"Path", true, false},
    {u"Software\\Azul Systems\\Zulu\\", u"", u"InstallationPath", true, false},
    {u"Software\\Semeru\\JDK\\", u"\\openj9\\MSI", u"Path", true, true},
    {u"Software\\Semeru\\JRE\\", u"\\openj9\\MSI", u"Path", false, true},
};

// A modern home holds the library itself; JDK 8 homes hold it in their "jre" folder.
const VendorKey kModernHome{VendorKeyId::JavaSoftJre, u"", false, false};
const VendorKey kModernJdk8Home{VendorKeyId::JavaSoftJdk, u"", true, false};

} // namespace

RuntimeChoice runtimeChoiceFor(const WideString& jvmLibraryPath, bool is32Bit) {
    return RuntimeChoice{jvmLibraryPath, runtimeHomeOf(jvmLibraryPath), is32Bit};
}

RuntimeChoice runtimeChoiceByHeader(const WideString& jvmLibraryPath, bool pairedProgramAvailable) {
    return runtimeChoiceFor(jvmLibraryPath,
                            pairedProgramAvailable && isJvmLibrary32Bit(jvmLibraryPath));
}

std::optional<RuntimeChoice> JreSearch::findRuntime(const WideString& executableFolder) {
    // The configured folder is taken as it is: no version test, no marker test.
    if (!request_.jrePath.isEmpty()) {
        const JvmLibraryChoice choice =
            resolveJvmLibrary(withTrailingSeparator(request_.jrePath), request_.jvmType);
        trace(u"search: JRE Path %s: %s", request_.jrePath,
              choice.path.isEmpty() ? WideString(u"no library of the JVM type") : choice.path);
        if (!choice.path.isEmpty())
            return runtimeChoiceByHeader(choice.path, request_.pairedProgramAvailable);
    }

    // A runtime shipped beside the executable is this build's own: never a 32-bit one.
    if (const std::optional<WideString> local = findLocalRuntime(executableFolder)) {
        const JvmLibraryChoice choice = resolveJvmLibrary(*local, request_.jvmType);
        trace(u"search: runtime beside the executable %s: %s", *local,
              choice.path.isEmpty() ? WideString(u"no library of the JVM type") : choice.path);
        if (!choice.path.isEmpty())
            return runtimeChoiceFor(choice.path, false);
    }

    bool is32Bit = false;
    std::optional<JreCandidate> chosen = scanRegistry(RegistryView::Native);
    if (!chosen) {
        chosen = scanRegistry(RegistryView::Wow32);
        is32Bit = chosen.has_value();
    }
    if (!chosen)
        return std::nullopt;
    const WideString path = resolveJvmLibrary(chosen->homeFolder, request_.jvmType).path;
    if (path.isEmpty())
        return std::nullopt;
    // Keys under HKEY_CURRENT_USER\Software are shared by both views: a 32-bit runtime
    // registered there is seen as a native one, and the paired program must host it.
    return is32Bit ? runtimeChoiceFor(path, true)
                   : runtimeChoiceByHeader(path, request_.pairedProgramAvailable);
}

std::optional<WideString> JreSearch::findLocalRuntime(const WideString& executableFolder) const {
    if (hasRuntimeMarker(executableFolder))
        return executableFolder;
    const WideString sub = executableFolder + u"jre64" + WideString(&platform::kPathSeparator, 1);
    if (hasRuntimeMarker(sub))
        return sub;
    return std::nullopt;
}

std::optional<JreCandidate> JreSearch::scanRegistry(RegistryView view) {
    if (view == RegistryView::Wow32 && !request_.pairedProgramAvailable)
        return std::nullopt;

    const RuntimeRequest& p = request_;
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
            scanVendorKey(row.key, row.isPreferred, view, candidates);
    // Today's installers come after the classic keys, machine-wide first, then per user;
    // the same kind and vendor rules apply.
    if (p.modernRuntimes)
        for (const platform::RegistryRoot root :
             {platform::RegistryRoot::LocalMachine, platform::RegistryRoot::CurrentUser}) {
            if (root == platform::RegistryRoot::CurrentUser && !p.userSources) {
                if (platform::kHasRegistry)
                    trace(u"search: HKCU left out: this start is elevated");
                continue;
            }
            for (const ModernKey& key : kModernKeys)
                if ((key.isJdk ? jdkKeys : jreKeys) && (key.isIbm ? ibm : sun))
                    scanModernKey(key.path, key.below, key.value,
                                  (key.isJdk ? p.preferJdk : p.preferJre) &&
                                      (key.isIbm ? p.ibmPreferred : p.sunPreferred),
                                  view, root, candidates);
        }
    if (candidates.empty())
        return std::nullopt;
    sortCandidates(candidates);
    const JreCandidate& chosen = selectCandidate(candidates);
    trace(u"search: chose %s of %d candidates (%s)", chosen.homeFolder,
          static_cast<int32_t>(candidates.size()),
          WideString(&chosen == &candidates.front()
                         ? u"first by preference, server VM and version"
                         : u"the first that a \"Preferred versions\" entry matches"));
    return chosen;
}

void JreSearch::scanVendorKey(const VendorKey& key, bool isPreferred, RegistryView view,
                              std::vector<JreCandidate>& candidates) {
    auto consider = [&](const WideString& subkeyName, auto readHome) {
        JavaVersion version;
        version.parse(subkeyName, 0);
        // The range is tested before the home folder is even read.
        if (!request_.range.contains(version)) {
            trace(u"search:   %s: version %s is outside the range", subkeyName, version.format());
            return;
        }
        WideString home;
        if (!readHome(home) || home.isEmpty()) {
            trace(u"search:   %s: no home folder", subkeyName);
            return;
        }
        accept(key, home, version, isPreferred, subkeyName, candidates);
    };

    platform::RegistryKey vendorKey;
    if (vendorKey.open(view, key.path)) {
        trace(u"search: key %s (%s view)", WideString(key.path),
              WideString(view == RegistryView::Native ? u"native" : u"32-bit"));
        // All names first: reading the version subkeys must not disturb the enumeration.
        std::vector<WideString> names;
        WideString name;
        for (uint32_t index = 0; vendorKey.subkeyName(index, name); ++index)
            names.push_back(name);
        for (const WideString& subkey : names)
            consider(subkey, [&](WideString& home) {
                platform::RegistryKey versionKey;
                return versionKey.open(view, key.path + subkey) &&
                       versionKey.readText(u"JavaHome", home);
            });
    }

    // Runtimes installed without registry entries belong to the native view.
    if (view != RegistryView::Native)
        return;
    if (!unregistered_) {
        const bool javaHome = request_.modernRuntimes && request_.userSources;
        if (request_.modernRuntimes && !request_.userSources && platform::kJavaHomeNamesARuntime)
            trace(u"search: $JAVA_HOME left out: this start is elevated");
        unregistered_ = describeUnregisteredRuntimes(javaHome);
        const WideString root = platform::installedRuntimesRoot();
        if (!root.isEmpty())
            trace(
                u"search: folder %s%s: %d runtimes", root,
                WideString(javaHome && platform::kJavaHomeNamesARuntime ? u" and $JAVA_HOME" : u""),
                static_cast<int32_t>(unregistered_->size()));
    }
    bool traced = false;
    for (const UnregisteredRuntime& runtime : *unregistered_)
        if (runtime.key == key.id) {
            if (!std::exchange(traced, true))
                trace(u"search: %s there", WideString(kindOfRuntimes(key.id)));
            consider(runtime.subkeyName, [&](WideString& home) {
                home = runtime.javaHome;
                return true;
            });
        }
}

void JreSearch::scanModernKey(const char16_t* path, const char16_t* below, const char16_t* value,
                              bool isPreferred, RegistryView view, platform::RegistryRoot root,
                              std::vector<JreCandidate>& candidates) const {
    platform::RegistryKey vendorKey;
    if (!vendorKey.open(view, path, root))
        return;
    std::vector<WideString> names;
    WideString name;
    for (uint32_t index = 0; vendorKey.subkeyName(index, name); ++index)
        names.push_back(name);
    trace(u"search: key %s%s (%s view)",
          WideString(root == platform::RegistryRoot::CurrentUser ? u"HKCU\\" : u"HKLM\\"),
          WideString(path), WideString(view == RegistryView::Native ? u"native" : u"32-bit"));
    for (const WideString& subkey : names) {
        platform::RegistryKey versionKey;
        WideString home;
        if (!versionKey.open(view, WideString(path) + subkey + below, root) ||
            !versionKey.readText(value, home) || home.isEmpty()) {
            trace(u"search:   %s: no home folder", subkey);
            continue;
        }
        // Key names such as "zulu-17" or "17" say too little: the runtime's own release
        // file tells the whole version.
        JavaVersion version;
        version.parse(subkey, 0);
        if (version.count() < 3) {
            const JavaVersion released = releaseVersionOf(home);
            if (released.count() > version.count())
                version = released;
        }
        if (!request_.range.contains(version)) {
            trace(u"search:   %s: version %s is outside the range", subkey, version.format());
            continue;
        }
        if (candidateAt(kModernHome, home))
            accept(kModernHome, home, version, isPreferred, subkey, candidates);
        else
            accept(kModernJdk8Home, home, version, isPreferred, subkey, candidates);
    }
}

void JreSearch::accept(const VendorKey& key, const WideString& home, const JavaVersion& version,
                       bool isPreferred, const WideString& name,
                       std::vector<JreCandidate>& candidates) const {
    std::optional<JreCandidate> candidate = candidateAt(key, home);
    if (!candidate) {
        trace(u"search:   %s: version %s, no library of the JVM type in %s", name, version.format(),
              home);
        return;
    }
    candidate->version = version;
    candidate->isPreferred = isPreferred;
    trace(u"search:   %s: candidate %s, version %s, server VM %s, preferred kind and vendor %s",
          name, candidate->homeFolder, version.format(),
          WideString(candidate->isServerVm ? u"yes" : u"no"),
          WideString(isPreferred ? u"yes" : u"no"));
    candidates.push_back(*candidate);
}

std::optional<JreCandidate> JreSearch::candidateAt(const VendorKey& key, WideString home) const {
    home = withTrailingSeparator(home);
    if (key.isJdk)
        home = home + u"jre" + WideString(&platform::kPathSeparator, 1);

    JvmType probe = request_.jvmType;
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
    const bool byPreference = request_.searchBothKinds;
    const bool byServer = request_.jvmType == JvmType::FavorServer;
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
    for (const WideString& entry : request_.preferredVersions) {
        JavaVersion preferred;
        preferred.parse(entry, 0);
        for (const JreCandidate& candidate : candidates)
            if (candidate.version.matchesPreferred(preferred))
                return candidate;
    }
    return candidates.front();
}

std::optional<RuntimeChoice> findRuntime(const RuntimeRequest& request,
                                         const WideString& executableFolder) {
    return JreSearch(request).findRuntime(executableFolder);
}

} // namespace noviq
