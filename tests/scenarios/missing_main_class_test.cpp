// A launcher renamed by a packager but shipped without its INI file: it must say that no
// main class is configured, on stdout, and exit with -1, in both builds.
#include <gtest/gtest.h>

#include "harness.h"

namespace noviq::test {
namespace {

struct Case {
    const char* name;
    Build build;
    const char* installedAs;
    std::string expectedOut;
    uint32_t exitMask; // Linux sees only the low 8 bits of -1
    uint32_t expectedExit;
};

class MissingMainClass : public testing::TestWithParam<Case> {};

TEST_P(MissingMainClass, ReportsAndExitsWithMinusOne) {
    const Case& c = GetParam();
    if (c.build == Build::Windows && !wineAvailable())
        GTEST_SKIP() << "Wine or the Windows build is not available";
    ScenarioDir dir;
    const auto tool = dir.copy(launcherBinary(c.build), c.installedAs);

    const RunResult result = run(c.build, tool);

    EXPECT_EQ(result.out, c.expectedOut);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exitCode & c.exitMask, c.expectedExit) << std::hex << result.exitCode;
}

INSTANTIATE_TEST_SUITE_P(
    Launcher, MissingMainClass,
    testing::Values(Case{"Linux", Build::Linux, "tool",
                         "Error: Main class was not specified in INI file. \n", 0xFFu, 0xFFu},
                    Case{"LinuxDotted", Build::Linux, "tool.bin",
                         "Error: Main class was not specified in INI file. \n", 0xFFu, 0xFFu},
                    Case{"Wine", Build::Windows, "tool.exe",
                         "Error: Main class was not specified in INI file. \r\n", 0xFFFFFFFFu,
                         0xFFFFFFFFu}),
    [](const testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

} // namespace
} // namespace noviq::test
