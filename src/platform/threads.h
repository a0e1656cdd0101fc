// Threads with a chosen stack size, waited for to their end, and sleeping without end.
#pragma once

#include <cstdint>

namespace noviq::platform {

using ThreadBody = uint32_t (*)(void* context);

// Runs body(context) on a new thread whose stack is stackSize bytes (0: the system's
// default), waits for it without time limit and stores the value it returned in exitCode.
// False, with nothing run, when the thread cannot be created.
bool runOnNewThread(ThreadBody body, void* context, uint64_t stackSize, uint32_t& exitCode);

// Blocks the calling thread for good; the process ends around it.
[[noreturn]] void sleepForever();

} // namespace noviq::platform
