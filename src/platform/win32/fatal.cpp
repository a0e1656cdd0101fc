// Windows: a broken invariant or exhausted memory raises a non-continuable exception with
// the status that names it; nothing is printed and no clean-up runs.
#include "platform/fatal.h"

#include "platform/win32/windows_api.h"

namespace noviq::platform {

[[noreturn]] void terminateOnViolation(Violation kind) {
    DWORD status = 0xC000001DUL; // STATUS_ILLEGAL_INSTRUCTION
    if (kind == Violation::OutOfMemory)
        status = 0xC0000017UL; // STATUS_NO_MEMORY
    else if (kind == Violation::IndexOutOfRange)
        status = 0xC000008CUL; // STATUS_ARRAY_BOUNDS_EXCEEDED
    RaiseException(status, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    TerminateProcess(GetCurrentProcess(), status);
    for (;;) {
    }
}

} // namespace noviq::platform
