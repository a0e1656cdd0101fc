// The search for a Java runtime: "JRE Path", a runtime beside the executable, then the
// installed runtimes, filtered and ordered by the settings.
#pragma once

#include <optional>
#include <vector>

#include "common/basic_string.h"
#include "jre/java_version.h"
#include "jre/search_preferences.h"
#include "platform/registry.h"

namespace noviq {

class Launcher;

// One installed runtime found under a vendor key.
struct JreCandidate {
    JavaVersion version;   // from the version subkey's name
    WideString homeFolder; // ends in a separator
    bool isServerVm = false;
    bool isPreferred = false; // both its kind and its vendor are preferred by the settings
};

// A vendor key the installers write, with what its runtimes are.
struct VendorKey {
    const char16_t* path; // ends in a backslash
    bool isJdk;           // hosted through the "jre" folder inside the JDK
    bool probesFavorServerAsDefault;
};

// The search for one launcher start. Its only lasting results are the library path and
// runtimeIs32Bit.
class JreSearch {
public:
    explicit JreSearch(const JreSearchPreferences& preferences) : preferences_(preferences) {}

    // The full path of the chosen JVM library, or empty when no source yields one. Sets the
    // launcher's runtimeIs32Bit (and, for "JRE Path", its jvmLibraryPath).
    WideString findRuntime(Launcher& launcher);

    // The executable's folder, or its "jre64" sub-folder, when it holds a runtime.
    std::optional<WideString> findLocalRuntime(Launcher& launcher) const;

    // The chosen installed runtime of one registry view; the 32-bit view is read only when
    // a paired program could take over.
    std::optional<JreCandidate> scanRegistry(platform::RegistryView view) const;
    void scanRegistryKey(const VendorKey& key, bool isPreferred, platform::RegistryView view,
                         std::vector<JreCandidate>& candidates) const;
    // The runtime folder registered under key\subkeyName with its probe result.
    std::optional<JreCandidate> readJavaHome(const VendorKey& key, const WideString& subkeyName,
                                             platform::RegistryView view) const;

    void sortCandidates(std::vector<JreCandidate>& candidates) const;
    // One candidate of a non-empty, sorted list.
    const JreCandidate& selectCandidate(const std::vector<JreCandidate>& candidates) const;

private:
    JreSearchPreferences preferences_;
};

// The full path of the chosen JVM library, or empty when nothing fits. Sets the launcher's
// runtimeIs32Bit.
WideString findRuntime(Launcher& launcher, const JreSearchPreferences& preferences);

} // namespace noviq
