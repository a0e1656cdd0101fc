// Linux: a broken invariant or exhausted memory ends the process at once, abnormally.
#include "base/fatal.h"

#include <cstdlib>

namespace noviq::platform {

[[noreturn]] void terminateOnViolation(Violation) {
    std::abort();
}

} // namespace noviq::platform
