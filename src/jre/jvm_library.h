// Choosing the JVM library of a runtime folder, recognising a runtime folder, and
// publishing the chosen library to the environment.
#pragma once

#include "common/basic_string.h"
#include "jre/search_preferences.h"

namespace noviq {

struct JvmLibraryChoice {
    WideString path; // empty when the folder holds no library of the asked kind
    bool isServerVm = false;
};

// Probes folder (ending in a separator) in the order the JVM type asks for.
JvmLibraryChoice resolveJvmLibrary(const WideString& folder, JvmType type);

bool hasRuntimeMarker(const WideString& folder);

// Sets NOVIQ_JVM_PATH to the library and NOVIQ_JVM_HOME to its path without the last three
// components.
void publishJvmEnvironment(const WideString& jvmLibraryPath);

} // namespace noviq
