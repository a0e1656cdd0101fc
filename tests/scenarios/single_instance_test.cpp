// Single instance under Wine: the first start of tool.exe hosts the scripted JNI runtime and
// waits in main; later starts hand their arguments to its secondaryMain over the real named
// objects and thread messages, and end with its reply or, without one, its exit code. Objects
// that another process made first (winrun.exe squat) make an ordinary start instead.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <set>
#include <sstream>
#include <thread>

#include "harness.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace noviq::test {
namespace {

// tool.exe beside tool.ini, with the scripted jvm.dll; its first start runs until the stop file
// exists, then ends with `exitCode` (or returns from main when it is empty).
class SingleInstanceApp {
public:
    SingleInstanceApp(const std::string& secondary, const std::string& exitCode = "") {
        tool_ = dir_.copy(launcherBinary(Build::Windows), "tool.exe");
        dir_.copy(windowsFixture("scripted_jvm.dll"), "rt/bin/server/jvm.dll");
        dir_.write("lib/a.jar", "");
        dir_.write(
            "tool.ini",
            replaceAll("[Java Runtime Environment]\nJRE Path=" + toWindowsPath(dir_.path() / "rt") +
                           "\nMain Class=noviq.Main\nVirtual Machine Parameters="
                           "-Dscripted.record=" +
                           toWindowsPath(record()) + " -Dscripted.mode=waits:25000" +
                           (exitCode.empty() ? "" : ":exit:" + exitCode) +
                           " -Dscripted.stop=" + toWindowsPath(dir_.path() / "stop") +
                           " -Dscripted.secondary=" + secondary +
                           "\n[Class Path]\nClass Path=\\lib\\a.jar\n"
                           "[Application]\nSingle Instance=yes\n",
                       "\n", "\r\n"));
    }
    ~SingleInstanceApp() {
        stop();
        dir_.write("squatter-stop", "");
        if (first_.valid())
            first_.wait();
        if (squatter_.valid())
            squatter_.wait();
    }

    // Starts the first instance and returns once main runs (requests are served from then).
    void startFirst() {
        first_ = std::async(std::launch::async, [this] { return run(); });
        waitForRecord("main ");
    }
    RunResult run(RunOptions options = {}, const fs::path& exe = {}) const {
        options.timeoutSeconds = 30;
        if (!exe.empty())
            options.workingDirectory = dir_.path();
        return test::run(Build::Windows, exe.empty() ? tool_ : dir_.path() / exe, options);
    }
    void stop() const { dir_.write("stop", ""); }

    // winrun.exe squat makes the application's objects first, as `how` says; returns once
    // they exist. endSquat() ends it and returns what it printed.
    void squat(const std::string& how) {
        RunOptions options;
        options.args = {"squat", how, toWindowsPath(tool_),
                        toWindowsPath(dir_.path() / "squatting"),
                        toWindowsPath(dir_.path() / "squatter-stop")};
        squatter_ = std::async(std::launch::async, [options] {
            return test::run(Build::Windows, windowsFixture("winrun.exe"), options);
        });
        while (!fs::exists(dir_.path() / "squatting"))
            ASSERT_EQ(squatter_.wait_for(std::chrono::milliseconds(20)),
                      std::future_status::timeout)
                << squatter_.get().out;
    }
    std::string endSquat() {
        dir_.write("squatter-stop", "");
        return squatter_.get().out;
    }
    RunResult firstResult() { return first_.get(); }
    bool firstHasEnded() const {
        return first_.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    }

    std::vector<std::string> recorded(const std::string& prefix) const {
        return linesStartingWith(record(), prefix);
    }
    void waitForRecord(const std::string& prefix, size_t count = 1) const {
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (recorded(prefix).size() < count && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_GE(recorded(prefix).size(), count) << "no \"" << prefix << "\" record";
    }

private:
    fs::path record() const { return dir_.path() / "record.txt"; }

    ScenarioDir dir_;
    fs::path tool_;
    std::future<RunResult> first_;
    std::future<RunResult> squatter_;
};

TEST(SingleInstanceWine, LaterStartsEndWithTheReplyToTheirArguments) {
    NOVIQ_SKIP_WITHOUT_WINE();
    SingleInstanceApp app("int");
    app.startFirst();

    const std::string tooLong(600, 'x'); // 2 + 2 + 1200 bytes: more than a request holds
    const struct {
        std::string commandLine; // UTF-8 here; the launcher gets UTF-16
        const char* exe;         // relative to the installation; empty: tool.exe
        uint32_t exitCode;
        const char* secondary; // the record of the call; null: no call
        std::string out;
    } cases[] = {
        // "-2", an empty argument, "é日本", "😀": the reply is all 32 bits of secondaryMain's.
        {"tool.exe -2 \"\" \xC3\xA9\xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80", "", 0xFFFFFFFEu,
         " [002D 0032] [] [00E9 65E5 672C] [D83D DE00]", ""},
        {"tool.exe", "", 4242, "", ""}, // no arguments: an empty array
        // Another spelling of the same file is the same application.
        {"TOOL.EXE 7", "TOOL.EXE", 7, " [0037]", ""},
        {"tool.exe " + tooLong, "", 0xFFFFFFFFu, nullptr,
         "Error: The arguments are too long to hand to the running instance. \r\n"},
    };
    std::vector<std::string> calls;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.commandLine.substr(0, 40));
        RunOptions options;
        options.windowsCommandLine = c.commandLine;
        const RunResult result = app.run(options, c.exe);
        EXPECT_EQ(result.exitCode, c.exitCode) << std::hex << result.exitCode << result.err;
        EXPECT_EQ(result.out, c.out);
        if (c.secondary)
            calls.push_back(c.secondary);
        EXPECT_EQ(app.recorded("secondary"), calls);
    }

    // Concurrent later starts queue on the shared area; each gets the reply to its own request.
    std::vector<std::future<RunResult>> later;
    for (int i = 0; i < 8; ++i)
        later.push_back(std::async(std::launch::async, [&app, i] {
            RunOptions options;
            options.args = {std::to_string(1000 + i)};
            return app.run(options);
        }));
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(later[i].get().exitCode, 1000u + i);
    EXPECT_EQ(app.recorded("secondary").size(), calls.size() + 8);

    app.stop();
    EXPECT_EQ(app.firstResult().exitCode, 0u);
}

// A void secondaryMain replies as soon as it is called, a throwing one replies 1; requests that
// get no reply end with the first instance's exit code as soon as that one ends. Two later
// starts each: the second is delivered only if the first gave the area up once it was copied.
TEST(SingleInstanceWine, RepliesWithoutAResultAndTheFirstInstancesEnd) {
    NOVIQ_SKIP_WITHOUT_WINE();
    const struct {
        const char* secondary;
        uint32_t exitCode;
    } cases[] = {{"void", 0}, {"throws", 1}, {"hangs", 0xFFFFFFFDu}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.secondary);
        SingleInstanceApp app(c.secondary, "-3");
        app.startFirst();
        std::future<RunResult> later[2];
        for (auto& one : later)
            one = std::async(std::launch::async, [&app] {
                RunOptions options;
                options.args = {"5"};
                return app.run(options);
            });
        app.waitForRecord("secondary [0035]", 2);
        auto replied = Clock::now();
        const bool hangs = std::string(c.secondary) == "hangs";
        if (hangs) {
            EXPECT_EQ(later[0].wait_for(std::chrono::milliseconds(300)),
                      std::future_status::timeout);
            app.stop();
            EXPECT_EQ(app.firstResult().exitCode, 0xFFFFFFFDu);
            replied = Clock::now();
        }
        for (auto& one : later)
            EXPECT_EQ(one.get().exitCode, c.exitCode);
        EXPECT_LT(std::chrono::duration<double>(Clock::now() - replied).count(), 2.0);
        if (!hangs) {
            EXPECT_FALSE(app.firstHasEnded()) << "the reply waited for the first instance's end";
        }
    }
}

// Another process of the session made the objects first (Wine lets any process forge owner
// and label, so this shows the check, not that a real unelevated process cannot forge them).
// The start runs as an ordinary one: its own main, its own exit code, nothing in their block.
TEST(SingleInstanceWine, ObjectsMadeByAnotherProcessMakeAnOrdinaryStart) {
    NOVIQ_SKIP_WITHOUT_WINE();
    const struct {
        const char* how;
        const char* why; // in the trace
    } cases[] = {
        {"plain", "it has no owner"},
        {"owner", "its owner S-1-5-18 is not this start's"},
        {"medium", "its integrity level 8192 is below this start's 12288"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.how);
        SingleInstanceApp app("int", "21");
        app.squat(c.how);
        app.stop(); // main ends at once
        RunOptions options;
        options.args = {"5"};
        options.env = {{"NOVIQ_TRACE", "1"}};
        const RunResult result = app.run(options);
        EXPECT_EQ(result.exitCode, 21u) << result.out << result.err;
        EXPECT_EQ(app.recorded("arg "), std::vector<std::string>{"0035"});
        EXPECT_NE(result.err.find(std::string("single instance: an ordinary start, the shared "
                                              "block was made by another process: ") +
                                  c.why),
                  std::string::npos)
            << result.err;
        EXPECT_EQ(app.endSquat(), "requests 0, block as made\r\n");
    }
}

// A first start whose ready event cannot be made (a mutex has its name) runs as an ordinary
// start; a later start then ends at once with -1 instead of waiting for a message id and
// running a second application beside it.
TEST(SingleInstanceWine, AFirstStartWithoutItsObjectsTakesNoRequests) {
    NOVIQ_SKIP_WITHOUT_WINE();
    SingleInstanceApp app("int");
    app.squat("clash");
    app.startFirst();
    const auto started = Clock::now();
    const RunResult later = app.run();
    EXPECT_LT(std::chrono::duration<double>(Clock::now() - started).count(), 2.0);
    EXPECT_EQ(later.exitCode, 0xFFFFFFFFu) << later.err;
    EXPECT_EQ(later.out, "Error: The running instance takes no requests. \r\n");
    EXPECT_EQ(app.recorded("main ").size(), 1u);
    app.stop();
    EXPECT_EQ(app.firstResult().exitCode, 0u);
}

} // namespace
} // namespace noviq::test
