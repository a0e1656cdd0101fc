// A broken string or list invariant ends a Windows process at once with the status that names
// it, whatever the C runtime's own exception handlers would make of it.
#include <gtest/gtest.h>

#include "harness.h"

namespace noviq::test {
namespace {

TEST(InvariantViolationWine, EndsWithTheNamedStatus) {
    NOVIQ_SKIP_WITHOUT_WINE();
    const struct {
        const char* what;
        uint32_t status;
    } cases[] = {
        {"index", 0xC000008Cu},  // array bounds exceeded
        {"length", 0xC000001Du}, // any other invariant
        {"alloc", 0xC0000017u},  // the standard library's allocations too
    };
    for (const auto& c : cases) {
        RunOptions options;
        options.args = {"violate", c.what};
        const RunResult result = run(Build::Windows, windowsFixture("winrun.exe"), options);
        EXPECT_EQ(result.exitCode, c.status)
            << c.what << " ended with " << std::hex << result.exitCode;
        EXPECT_EQ(result.out, "") << c.what;
        EXPECT_EQ(result.err, "") << c.what;
    }
}

} // namespace
} // namespace noviq::test
