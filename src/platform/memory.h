// The machine's memory as the heap and stack sizing rules see it.
#pragma once

#include <cstdint>

namespace noviq::platform {

// Physical memory installed in the machine, in bytes.
uint64_t totalPhysicalMemory();

// Address space this process can still reserve, in bytes.
uint64_t availableVirtualMemory();

} // namespace noviq::platform
