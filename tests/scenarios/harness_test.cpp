// The harness's own guarantees, which every scenario relies on: separate streams, exit codes
// (all 32 bits under Wine), environment, working directory, timeouts, exact command lines.
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <sstream>

#include "harness.h"

namespace noviq::test {
namespace {

std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

TEST(HarnessLinux, CapturesStreamsEnvironmentAndExitStatus) {
    ScenarioDir dir;
    const struct {
        const char* script;
        std::string out;
        std::string err;
        uint32_t exitCode;
    } cases[] = {
        {"printf out; printf err >&2; exit 3", "out", "err", 3},
        {"printf '%s|%s' \"$NOVIQ_PROBE\" \"$PWD\"", "probe value|" + dir.path().string(), "", 0},
        {"kill -9 $$", "", "", 128 + 9},
        {"exec 1>&-; sleep 0.2; printf late >&2", "", "late", 0},
    };
    for (const auto& c : cases) {
        RunOptions options;
        options.args = {"-c", c.script};
        options.env = {{"NOVIQ_PROBE", "probe value"}};
        options.workingDirectory = dir.path();
        const RunResult result = run(Build::Linux, "/bin/sh", options);
        EXPECT_EQ(result.out, c.out) << c.script;
        EXPECT_EQ(result.err, c.err) << c.script;
        EXPECT_EQ(result.exitCode, c.exitCode) << c.script;
        EXPECT_FALSE(result.timedOut) << c.script;
    }
}

TEST(HarnessLinux, TimeoutKillsTheWholeProcessGroupAndFails) {
    RunOptions options;
    // The background child keeps stdout open: only a group kill ends the wait.
    options.args = {"-c", "sleep 30 & printf started; wait"};
    options.timeoutSeconds = 1;
    const auto start = std::chrono::steady_clock::now();
    RunResult result;
    EXPECT_NONFATAL_FAILURE(result = run(Build::Linux, "/bin/sh", options), "no end within 1 s");
    EXPECT_TRUE(result.timedOut);
    EXPECT_EQ(result.out, "started");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

class HarnessWine : public testing::Test {
protected:
    void SetUp() override {
        if (!wineAvailable())
            GTEST_SKIP() << "Wine or the Windows build is not available";
    }
};

// exit_with.exe records its command line and current directory, then exits with the code
// asked for: each of these needs more than the 8 bits a Linux parent sees.
TEST_F(HarnessWine, ExitCodesKeepAll32BitsAndCommandLinesReachTheChild) {
    ScenarioDir dir;
    const std::filesystem::path exe = windowsFixture("exit_with.exe");
    const std::string quotedExe = toWindowsPath(exe); // no spaces in build paths: unquoted
    const struct {
        std::vector<std::string> args;
        std::optional<std::string> verbatim;
        std::string expectedCommandLine;
        const char* exitWith;
        uint32_t exitCode;
    } cases[] = {
        {{"plain", "two words", "say \"hi\"", "dir\\", "end space\\"},
         std::nullopt,
         quotedExe + R"( plain "two words" "say \"hi\"" dir\ "end space\\")",
         "256",
         0x100},
        {{}, std::nullopt, quotedExe, "-1", ~0u},
        {{"ignored"},
         R"(app.exe  "unbalanced \" x)",
         R"(app.exe  "unbalanced \" x)",
         "0xC0000005",
         0xC0000005},
    };
    for (const auto& c : cases) {
        RunOptions options;
        options.args = c.args;
        options.windowsCommandLine = c.verbatim;
        options.workingDirectory = dir.path();
        options.env = {{"EXIT_WITH_RECORD", toWindowsPath(dir.path() / "record.txt")},
                       {"EXIT_WITH_CODE", c.exitWith}};
        EXPECT_EQ(run(Build::Windows, exe, options).exitCode, c.exitCode) << c.exitWith;
        EXPECT_EQ(readFile(dir.path() / "record.txt"),
                  c.expectedCommandLine + "\n" + toWindowsPath(dir.path()) + "\n");
    }
}

// Version 5 files are UTF-16 to reg.exe: non-ASCII text must survive the import.
TEST_F(HarnessWine, RegistryImportInBothFileFormats) {
    ScenarioDir dir;
    const std::string key = "HKEY_CURRENT_USER\\Software\\NoviqHarnessTest";
    const std::pair<const char*, std::u16string> cases[] = {
        {"REGEDIT4", u"regedit4"},
        {"Windows Registry Editor Version 5.00", u"version5 Z\u00fcrich \u65e5\u672c"},
    };
    const auto reg = std::filesystem::path(getenv("WINEPREFIX")) / "drive_c" / "windows" /
                     "system32" / "reg.exe";
    for (const auto& [header, value] : cases) {
        importRegistry(std::string(header) + "\r\n\r\n[" + key + "]\r\n\"Format\"=\"" +
                       std::filesystem::path(value).string() + "\"\r\n");
        // Imported as UTF-8; reg export writes UTF-16LE.
        RunOptions options;
        options.args = {"export", key, toWindowsPath(dir.path() / "out.reg"), "/y"};
        ASSERT_EQ(run(Build::Windows, reg, options).exitCode, 0u) << header;
        const std::u16string line = u"\"Format\"=\"" + value + u"\"";
        EXPECT_NE(
            readFile(dir.path() / "out.reg")
                .find(std::string(reinterpret_cast<const char*>(line.data()), 2 * line.size())),
            std::string::npos)
            << header;
    }
}

} // namespace
} // namespace noviq::test
