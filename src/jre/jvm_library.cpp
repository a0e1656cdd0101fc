// JVM library probe order, runtime marker and the published environment variables.
#include "jre/jvm_library.h"

#include "common/path_utils.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/path_style.h"
#include "platform/runtime_layout.h"

namespace noviq {

namespace {

using platform::JvmFlavour;

bool probe(const WideString& folder, JvmFlavour flavour, JvmLibraryChoice& choice) {
    for (const WideString& subpath : platform::jvmLibrarySubpaths(flavour)) {
        const WideString candidate = folder + subpath;
        if (platform::firstFileExists(candidate)) {
            choice.path = candidate;
            choice.isServerVm = flavour == JvmFlavour::Server;
            return true;
        }
    }
    return false;
}

} // namespace

JvmLibraryChoice resolveJvmLibrary(const WideString& folder, JvmType type) {
    JvmLibraryChoice choice;
    if (type != JvmType::Default && probe(folder, JvmFlavour::Server, choice))
        return choice;
    if (type == JvmType::Server)
        return choice;
    for (JvmFlavour flavour : {JvmFlavour::Client, JvmFlavour::Classic, JvmFlavour::Hotspot,
                               JvmFlavour::Server, JvmFlavour::Jrockit})
        if (probe(folder, flavour, choice))
            return choice;
    return choice;
}

bool hasRuntimeMarker(const WideString& folder) {
    for (const WideString& subpath : platform::runtimeMarkerSubpaths())
        if (platform::firstFileExists(folder + subpath))
            return true;
    return false;
}

WideString runtimeHomeOf(const WideString& jvmLibraryPath) {
    const WideString separator(&platform::kPathSeparator, 1);
    for (JvmFlavour flavour : {JvmFlavour::Server, JvmFlavour::Client, JvmFlavour::Classic,
                               JvmFlavour::Hotspot, JvmFlavour::Jrockit}) {
        for (const WideString& subpath : platform::jvmLibrarySubpaths(flavour)) {
            const WideString suffix = separator + subpath;
            const int32_t start = jvmLibraryPath.length() - suffix.length();
            if (start >= 0 && jvmLibraryPath.Mid(start) == suffix)
                return jvmLibraryPath.Left(start);
        }
    }
    return withoutLastComponents(jvmLibraryPath, 3);
}

void publishJvmEnvironment(const WideString& jvmLibraryPath) {
    platform::setEnvironmentVariable(u"NOVIQ_JVM_PATH", jvmLibraryPath);
    platform::setEnvironmentVariable(u"NOVIQ_JVM_HOME", runtimeHomeOf(jvmLibraryPath));
}

} // namespace noviq
