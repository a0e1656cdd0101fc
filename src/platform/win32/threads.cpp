// Windows: CreateThread with a reserved stack of the requested size.
#include "platform/threads.h"

#include <new>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

namespace noviq::platform {

using namespace win32;

namespace {

struct Start {
    ThreadBody body;
    void* context;
};

DWORD WINAPI threadMain(void* argument) {
    const Start* start = static_cast<const Start*>(argument);
    return start->body(start->context);
}

// The same for a start record the thread owns.
DWORD WINAPI detachedThreadMain(void* argument) {
    const Start* owned = static_cast<const Start*>(argument);
    const DWORD code = owned->body(owned->context);
    delete owned;
    return code;
}

} // namespace

bool runOnNewThread(ThreadBody body, void* context, uint64_t stackSize, uint32_t& exitCode) {
    if (stackSize > SIZE_MAX)
        return false;
    Start start{body, context};
    // The size is the reservation, as the JVM's -Xss means it, not the first commit.
    ScopedKernelHandle thread(CreateThread(nullptr, static_cast<SIZE_T>(stackSize), threadMain,
                                           &start, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    if (!thread)
        return false;
    WaitForSingleObject(thread.get(), INFINITE);
    DWORD code = 0;
    GetExitCodeThread(thread.get(), &code);
    exitCode = code;
    return true;
}

bool startDetachedThread(ThreadBody body, void* context) {
    auto* start = new Start{body, context};
    const ScopedKernelHandle thread(
        CreateThread(nullptr, 0, detachedThreadMain, start, 0, nullptr));
    if (!thread) {
        delete start;
        return false;
    }
    return true;
}

static_assert(sizeof(SRWLOCK) <= 64, "the lock fits its storage");

Mutex::Mutex() {
    new (storage_) SRWLOCK(SRWLOCK_INIT);
}

Mutex::~Mutex() = default;

void Mutex::lock() {
    AcquireSRWLockExclusive(reinterpret_cast<SRWLOCK*>(storage_));
}

void Mutex::unlock() {
    ReleaseSRWLockExclusive(reinterpret_cast<SRWLOCK*>(storage_));
}

void sleepForever() {
    for (;;)
        Sleep(INFINITE);
}

void sleepMilliseconds(uint32_t milliseconds) {
    Sleep(milliseconds);
}

} // namespace noviq::platform
