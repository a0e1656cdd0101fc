// Runtimes installed without a registry entry, and the two file probes their description
// needs. On Linux these are the folders under the system JVM folder (/usr/lib/jvm, or
// $NOVIQ_JVM_ROOT); on Windows installers register their runtimes and there are none.
#pragma once

#include <cstdint>

#include "base/basic_string.h"
#include "base/string_list.h"

namespace noviq::platform {

// The full paths (no trailing separator) of the folders under the system JVM folder, one
// per real folder: real folders in name order, then links to folders not already listed
// (an alias such as java-1.17.0-openjdk-amd64 -> java-17-openjdk-amd64 is dropped).
StringList installedRuntimeFolders();

// The system JVM folder those folders are in; empty where there is none (Windows).
WideString installedRuntimesRoot();

// Whether $JAVA_HOME names one more runtime (Linux, where it is the usual way to point at
// one); Windows installers register theirs.
extern const bool kJavaHomeNamesARuntime;

bool isFolder(const WideString& path);

// At most `limit` bytes from the start of a regular file; empty when the path is not a
// regular file or cannot be read. A FIFO or device in its place is never opened for reading,
// so the call cannot block.
NarrowString readFileStart(const WideString& path, int32_t limit);

} // namespace noviq::platform
