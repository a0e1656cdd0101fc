// Where a Java runtime folder keeps its JVM libraries and its marker file, relative to the
// folder (which ends in a separator).
#pragma once

#include "base/string_list.h"

namespace noviq::platform {

enum class JvmFlavour { Server, Client, Classic, Hotspot, Jrockit };

// The sub-paths at which a library of this flavour may lie, in the order to try them.
StringList jvmLibrarySubpaths(JvmFlavour flavour);

// The sub-paths whose existence marks a folder as a Java runtime.
StringList runtimeMarkerSubpaths();

} // namespace noviq::platform
