// Threads with a chosen stack size, waited for to their end, and sleeping without end.
#pragma once

#include <cstdint>

namespace noviq::platform {

using ThreadBody = uint32_t (*)(void* context);

// Runs body(context) on a new thread whose stack is stackSize bytes (0: the system's
// default), waits for it without time limit and stores the value it returned in exitCode.
// False, with nothing run, when the thread cannot be created.
bool runOnNewThread(ThreadBody body, void* context, uint64_t stackSize, uint32_t& exitCode);

// Runs body(context) on a new thread of the system's default stack size and returns at once;
// nothing waits for the thread. False, with nothing run, when it cannot be created.
bool startDetachedThread(ThreadBody body, void* context);

// A lock for state that several threads change.
class Mutex {
public:
    Mutex();
    ~Mutex();
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
    void lock();
    void unlock();

private:
    alignas(8) unsigned char storage_[64]; // the system's lock object
};

class MutexLock {
public:
    explicit MutexLock(Mutex& mutex) : mutex_(mutex) { mutex_.lock(); }
    ~MutexLock() { mutex_.unlock(); }
    MutexLock(const MutexLock&) = delete;
    MutexLock& operator=(const MutexLock&) = delete;

private:
    Mutex& mutex_;
};

// Blocks the calling thread for good; the process ends around it.
[[noreturn]] void sleepForever();

// Blocks the calling thread for about `milliseconds`.
void sleepMilliseconds(uint32_t milliseconds);

} // namespace noviq::platform
