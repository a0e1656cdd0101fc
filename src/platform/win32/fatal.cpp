// Windows: a broken invariant or exhausted memory raises a non-continuable exception with
// the status that names it; nothing is printed and no clean-up runs.
#include "base/fatal.h"

#include <atomic>

#include "platform/win32/windows_api.h"

namespace noviq::platform {

namespace {

std::atomic<DWORD> gRaisedStatus{0};

// The C runtime's own frame handlers would turn some of these statuses into others (an
// array-bounds status, for one, ends as "non-continuable exception"). A first-chance look
// at our own exception ends the process with exactly its status; debuggers still see it.
LONG CALLBACK endWithRaisedStatus(EXCEPTION_POINTERS* info) {
    const DWORD status = gRaisedStatus.load();
    if (status != 0 && info->ExceptionRecord->ExceptionCode == status)
        TerminateProcess(GetCurrentProcess(), status);
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

[[noreturn]] void terminateOnViolation(Violation kind) {
    DWORD status = 0xC000001DUL; // STATUS_ILLEGAL_INSTRUCTION
    if (kind == Violation::OutOfMemory)
        status = 0xC0000017UL; // STATUS_NO_MEMORY
    else if (kind == Violation::IndexOutOfRange)
        status = 0xC000008CUL; // STATUS_ARRAY_BOUNDS_EXCEEDED
    gRaisedStatus.store(status);
    AddVectoredExceptionHandler(1, endWithRaisedStatus);
    RaiseException(status, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    TerminateProcess(GetCurrentProcess(), status);
    for (;;) {
    }
}

} // namespace noviq::platform
