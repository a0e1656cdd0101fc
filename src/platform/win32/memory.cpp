// Windows: the memory status record (the 64-bit form, whose values are the same in an x64
// process and are not capped at 4 GB).
#include "platform/memory.h"

#include "platform/win32/windows_api.h"

namespace noviq::platform {

namespace {

MEMORYSTATUSEX memoryStatus() {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status))
        status = MEMORYSTATUSEX{};
    return status;
}

} // namespace

uint64_t totalPhysicalMemory() {
    return memoryStatus().ullTotalPhys;
}

uint64_t availableVirtualMemory() {
    return memoryStatus().ullAvailVirtual;
}

} // namespace noviq::platform
