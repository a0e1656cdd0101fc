// The restart count that travels between starts: its text, and when the limit stops a loop.
#include <gtest/gtest.h>

#include "launcher/restart.h"
#include "test_support.h"

namespace noviq {
namespace {

TEST(Restart, CountTextAndLimit) {
    for (const char* bad :
         {"", "3", ":5", "3:", "a:5", "3:5x", "-1:5", "6:5", "1:9999999999999999999"})
        EXPECT_FALSE(parseRestartCount(test::wide(bad))) << bad;
    const std::optional<RestartCount> parsed =
        parseRestartCount(formatRestartCount(RestartCount{4, 1700000000}));
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->restarts, 4);
    EXPECT_EQ(parsed->windowStart, 1700000000);

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
