// Linux: physical pages from sysconf; the free address space is the user address space (or
// the address-space limit, when lower) less what the process has mapped already.
#include "platform/memory.h"

#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

#include "platform/posix/scoped_resource.h"

namespace noviq::platform {

namespace {

// x86-64 with four-level page tables: 128 TiB less one page for user space.
constexpr uint64_t kUserAddressSpace = (uint64_t{1} << 47) - 4096;

uint64_t mappedBytes() {
    const posix::ScopedFileStream status(std::fopen("/proc/self/status", "re"));
    if (!status)
        return 0;
    char line[256];
    unsigned long long kilobytes = 0;
    while (std::fgets(line, sizeof line, status.get()))
        if (std::sscanf(line, "VmSize: %llu kB", &kilobytes) == 1)
            break;
    return static_cast<uint64_t>(kilobytes) * 1024;
}

} // namespace

uint64_t totalPhysicalMemory() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
}

uint64_t availableVirtualMemory() {
    uint64_t limit = kUserAddressSpace;
    rlimit addressSpace{};
    if (getrlimit(RLIMIT_AS, &addressSpace) == 0 && addressSpace.rlim_cur != RLIM_INFINITY &&
        addressSpace.rlim_cur < limit)
        limit = addressSpace.rlim_cur;
    const uint64_t used = mappedBytes();
    return used < limit ? limit - used : 0;
}

} // namespace noviq::platform
