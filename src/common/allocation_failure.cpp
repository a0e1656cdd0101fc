// A failed operator new ends the process with the out-of-memory status.
#include "common/allocation_failure.h"

#include <new>

#include "base/fatal.h"

namespace noviq {

void endProcessOnAllocationFailure() {
    std::set_new_handler([] { platform::terminateOnViolation(platform::Violation::OutOfMemory); });
}

} // namespace noviq
