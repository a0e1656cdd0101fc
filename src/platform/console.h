// The process's standard output, as the launcher's error lines use it.
#pragma once

#include <cstdint>

namespace noviq::platform {

// Writes bytes to standard output through the C runtime (text mode on Windows, so "\n"
// leaves as CR LF) and flushes; failures are ignored.
void writeStandardOutput(const char* bytes, int32_t length);

} // namespace noviq::platform
