// The restart count that travels between starts: the text refused, and when the limit stops
// a loop (the scenarios see the count travel).
#include <gtest/gtest.h>

#include "launcher/restart.h"
#include "test_support.h"

namespace noviq {
namespace {

TEST(Restart, CountTextAndLimit) {
    for (const char* bad :
         {"", "3", ":5", "3:", "a:5", "3:5x", "-1:5", "6:5", "1:9999999999999999999"})
        EXPECT_FALSE(parseRestartCount(test::wide(bad))) << bad;
    // Five restarts within the window, then none; a window that is over or a clock set back
    // starts again at one.
    std::optional<RestartCount> count;
    for (int64_t now = 1000; now < 1005; ++now) {
        count = nextRestart(count, now);
        ASSERT_TRUE(count);
        EXPECT_EQ(count->windowStart, 1000);
    }
    EXPECT_EQ(count->restarts, kRestartLimit);
    EXPECT_FALSE(nextRestart(count, 1059));
    for (int64_t now : {1060, 999}) {
        const std::optional<RestartCount> fresh = nextRestart(count, now);
        ASSERT_TRUE(fresh) << now;
        EXPECT_EQ(fresh->restarts, 1);
        EXPECT_EQ(fresh->windowStart, now);
    }
}

} // namespace
} // namespace noviq
