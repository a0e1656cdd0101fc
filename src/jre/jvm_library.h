// Choosing the JVM library of a runtime folder, recognising a runtime folder, and
// publishing the chosen library to the environment.
#pragma once

#include "base/basic_string.h"
#include "jre/runtime_request.h"

namespace noviq {

struct JvmLibraryChoice {
    WideString path; // empty when the folder holds no library of the asked kind
    bool isServerVm = false;
};

// Probes folder (ending in a separator) in the order the JVM type asks for.
JvmLibraryChoice resolveJvmLibrary(const WideString& folder, JvmType type);

bool hasRuntimeMarker(const WideString& folder);

// The runtime folder a JVM library belongs to, without a trailing separator: the path less
// the library sub-path it was found at (three components on Windows; Java 8 libraries on
// Linux lie one level deeper), else less its last three components.
WideString runtimeHomeOf(const WideString& jvmLibraryPath);

// Sets NOVIQ_JVM_PATH to the library and NOVIQ_JVM_HOME to its runtime folder.
void publishJvmEnvironment(const WideString& jvmLibraryPath);

} // namespace noviq
