// Windows build only, found before GoogleTest's own (empty) customisation header: supplies
// its Notification without std::mutex, which libstdc++ lacks in mingw's win32 thread model.
#ifndef GOOGLETEST_INCLUDE_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_
#define GOOGLETEST_INCLUDE_GTEST_INTERNAL_CUSTOM_GTEST_PORT_H_

#include <atomic>

#define GTEST_HAS_NOTIFICATION_ 1

namespace testing::internal {

// Only GoogleTest's own thread tests wait on it; a spin keeps it free of <windows.h>.
class Notification {
public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;

    void Notify() { notified_.store(true, std::memory_order_release); }
    void WaitForNotification() {
        while (!notified_.load(std::memory_order_acquire)) {
        }
    }

private:
    std::atomic<bool> notified_{false};
};

} // namespace testing::internal

#endif
