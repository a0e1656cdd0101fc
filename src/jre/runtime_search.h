// The search for a Java runtime: "JRE Path", a runtime beside the executable, then the
// installed runtimes, filtered and ordered by the request.
#pragma once

#include <optional>
#include <vector>

#include "base/basic_string.h"
#include "jre/java_version.h"
#include "jre/runtime_request.h"
#include "platform/registry.h"

namespace noviq {

// The runtime a start will use.
struct RuntimeChoice {
    WideString jvmLibraryPath;
    WideString homeFolder; // no trailing separator
    bool is32Bit = false;  // a paired 32-bit program runs instead of the JVM
};

// The choice for a library found in a runtime folder.
RuntimeChoice runtimeChoiceFor(const WideString& jvmLibraryPath, bool is32Bit);
// The same where the library's own header decides: a 32-bit one goes to the paired program
// when there is one (the header is not read otherwise).
RuntimeChoice runtimeChoiceByHeader(const WideString& jvmLibraryPath, bool pairedProgramAvailable);

// One installed runtime found under a vendor key.
struct JreCandidate {
    JavaVersion version;   // from the version subkey's name
    WideString homeFolder; // ends in a separator
    bool isServerVm = false;
    bool isPreferred = false; // both its kind and its vendor are preferred by the request
};

enum class VendorKeyId { JavaSoftJdk, JavaSoftJre, JRockitJre, JRockitJdk, IbmJre };

// A vendor key the installers write, with what its runtimes are.
struct VendorKey {
    VendorKeyId id;
    const char16_t* path; // ends in a backslash
    bool isJdk;           // hosted through the "jre" folder inside the JDK
    bool probesFavorServerAsDefault;
};

// A runtime folder installed without a registry entry, described as the vendor key's
// version subkey an installer would have written for it.
struct UnregisteredRuntime {
    VendorKeyId key;
    WideString subkeyName; // "<major>.<minor>.<micro>.<update> <folder name>"
    WideString javaHome;
};

// The installed runtime folders the system lists, described in subkey-name order; folders
// that hold no runtime are left out. With `javaHome`, the folder $JAVA_HOME names follows
// where the system counts it as a runtime (Linux).
std::vector<UnregisteredRuntime> describeUnregisteredRuntimes(bool javaHome = false);

// JAVA_VERSION from the "release" file of a runtime's home folder; unset when there is none.
JavaVersion releaseVersionOf(const WideString& homeFolder);

// The search for one launcher start.
class JreSearch {
public:
    explicit JreSearch(const RuntimeRequest& request) : request_(request) {}

    // The chosen runtime, or nothing when no source yields one. `executableFolder` ends in a
    // separator.
    std::optional<RuntimeChoice> findRuntime(const WideString& executableFolder);

    // The executable's folder, or its "jre64" sub-folder, when it holds a runtime.
    std::optional<WideString> findLocalRuntime(const WideString& executableFolder) const;

    // The chosen installed runtime of one registry view; the 32-bit view is read only when
    // a paired program could take over.
    std::optional<JreCandidate> scanRegistry(platform::RegistryView view);
    void scanVendorKey(const VendorKey& key, bool isPreferred, platform::RegistryView view,
                       std::vector<JreCandidate>& candidates);
    // The runtimes under one key of today's installers (see kModernKeys).
    void scanModernKey(const char16_t* path, const char16_t* below, const char16_t* value,
                       bool isPreferred, platform::RegistryView view, platform::RegistryRoot root,
                       std::vector<JreCandidate>& candidates) const;
    // Adds the runtime at a home folder to the candidates when it holds a library.
    void accept(const VendorKey& key, const WideString& home, const JavaVersion& version,
                bool isPreferred, const WideString& name,
                std::vector<JreCandidate>& candidates) const;
    // The runtime at a registered home folder, with its probe result.
    std::optional<JreCandidate> candidateAt(const VendorKey& key, WideString home) const;

    void sortCandidates(std::vector<JreCandidate>& candidates) const;
    // One candidate of a non-empty, sorted list.
    const JreCandidate& selectCandidate(const std::vector<JreCandidate>& candidates) const;

private:
    RuntimeRequest request_;
    std::optional<std::vector<UnregisteredRuntime>> unregistered_; // described once
};

// The runtime the request chooses, or nothing when nothing fits.
std::optional<RuntimeChoice> findRuntime(const RuntimeRequest& request,
                                         const WideString& executableFolder);

} // namespace noviq
