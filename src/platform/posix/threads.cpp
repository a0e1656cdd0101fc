// Linux: POSIX threads with an explicit stack size, joined for their result.
#include "platform/threads.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <new>
#include <pthread.h>
#include <time.h>
#include <unistd.h>

namespace noviq::platform {

namespace {

struct Start {
    ThreadBody body;
    void* context;
};

void* threadMain(void* argument) {
    const Start* start = static_cast<const Start*>(argument);
    return reinterpret_cast<void*>(static_cast<uintptr_t>(start->body(start->context)));
}

// pthread refuses stacks below PTHREAD_STACK_MIN and some libcs want whole pages.
size_t usableStackSize(uint64_t requested) {
    const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    const uint64_t minimum = static_cast<uint64_t>(PTHREAD_STACK_MIN);
    const uint64_t size = requested < minimum ? minimum : requested;
    if (size > SIZE_MAX - page)
        return SIZE_MAX - SIZE_MAX % page;
    return static_cast<size_t>((size + page - 1) / page * page);
}

} // namespace

bool runOnNewThread(ThreadBody body, void* context, uint64_t stackSize, uint32_t& exitCode) {
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0)
        return false;
    bool ok =
        stackSize == 0 || pthread_attr_setstacksize(&attributes, usableStackSize(stackSize)) == 0;
    Start start{body, context};
    pthread_t thread;
    ok = ok && pthread_create(&thread, &attributes, threadMain, &start) == 0;
    pthread_attr_destroy(&attributes);
    if (!ok)
        return false;
    void* result = nullptr;
    pthread_join(thread, &result);
    exitCode = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(result));
    return true;
}

bool startDetachedThread(ThreadBody body, void* context) {
    auto* start = new Start{body, context};
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) {
        delete start;
        return false;
    }
    pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    const bool ok = pthread_create(
                        &thread, &attributes,
                        [](void* argument) -> void* {
                            const Start* owned = static_cast<const Start*>(argument);
                            owned->body(owned->context);
                            delete owned;
                            return nullptr;
                        },
                        start) == 0;
    pthread_attr_destroy(&attributes);
    if (!ok)
        delete start;
    return ok;
}

static_assert(sizeof(pthread_mutex_t) <= 64, "the lock fits its storage");

Mutex::Mutex() {
    new (storage_) pthread_mutex_t(PTHREAD_MUTEX_INITIALIZER);
}

Mutex::~Mutex() {
    pthread_mutex_destroy(reinterpret_cast<pthread_mutex_t*>(storage_));
}

void Mutex::lock() {
    pthread_mutex_lock(reinterpret_cast<pthread_mutex_t*>(storage_));
}

void Mutex::unlock() {
    pthread_mutex_unlock(reinterpret_cast<pthread_mutex_t*>(storage_));
}

void sleepForever() {
    for (;;)
        pause();
}

void sleepMilliseconds(uint32_t milliseconds) {
    timespec left{static_cast<time_t>(milliseconds / 1000),
                  static_cast<long>(milliseconds % 1000) * 1000000L};
    while (nanosleep(&left, &left) != 0 && errno == EINTR) {
    }
}

} // namespace noviq::platform
