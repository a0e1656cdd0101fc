// Windows: CreateThread with a reserved stack of the requested size.
#include "platform/threads.h"

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

void sleepForever() {
    for (;;)
        Sleep(INFINITE);
}

} // namespace noviq::platform
