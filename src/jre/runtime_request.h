// What the settings ask of the runtime search: JVM type, kinds, vendors, versions, and the
// folder configured or remembered for this application. The only copy of these flags.
#pragma once

#include <cstdint>

#include "base/basic_string.h"
#include "base/string_list.h"
#include "jre/java_version.h"

namespace noviq {

enum class JvmType : int32_t { Default, Server, FavorServer };

struct RuntimeRequest {
    JvmType jvmType = JvmType::Default;
    bool preferJdk = false;
    bool preferJre = false;
    bool searchBothKinds = true;
    bool jrockitAllowed = false;
    bool sunAllowed = true;
    bool ibmAllowed = false;
    bool jrockitPreferred = false;
    bool sunPreferred = true;
    bool ibmPreferred = false;
    JavaVersionRange range;
    StringList preferredVersions;
    WideString jrePath; // absolute, or empty
    // A paired 32-bit program can take over: the 32-bit registry view is searched and the
    // chosen library's architecture matters.
    bool pairedProgramAvailable = false;
    // Also the registry keys of today's installers (and, on Linux, $JAVA_HOME).
    bool modernRuntimes = false;
    // Places any program of the user can write may name runtimes: HKEY_CURRENT_USER's keys
    // and, on Linux, $JAVA_HOME. An elevated start leaves them out.
    bool userSources = true;

    // An IBM runtime may run the application (its main thread must stay attached).
    bool ibmMayRun() const { return ibmAllowed || ibmPreferred; }
};

// The runtime-not-found text: message 206 for a required server JVM, 207 otherwise, with
// the version requirement.
WideString notFoundMessage(const RuntimeRequest& request);

} // namespace noviq
