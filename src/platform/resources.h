// The launcher's string table: the executable's own resource on Windows, a table compiled
// from the same source on Linux.
#pragma once

#include <cstdint>

#include "base/basic_string.h"

namespace noviq::platform {

// The entry for id, or the empty string when there is none (an entry of length 0 counts
// as absent).
WideString loadStringResource(int32_t id);

} // namespace noviq::platform
