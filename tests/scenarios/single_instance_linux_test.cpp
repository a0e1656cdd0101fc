// Single instance on Linux with the system JDK: later starts of one executable hand their
// arguments to the first (noviq.apps.Primary and PrimaryVoid), and end with its reply.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <future>
#include <thread>

#include "harness.h"

namespace fs = std::filesystem;

namespace noviq::test {
namespace {

const std::string kSettings =
    "JRE Path=/usr/lib/jvm/java-17-openjdk-amd64\n"
    "[Class Path]\nClass Path=apps.jar\n[Application]\nSingle Instance=yes\n";

// A launcher copy at dir/<folder>/tool whose first start runs mainClass until "stop" exists.
class Application {
public:
    Application(const ScenarioDir& dir, const std::string& folder, const std::string& mainClass)
        : dir_(dir), folder_(dir.path() / folder) {
        tool_ = dir.copy(launcherBinary(Build::Linux), folder + "/tool");
        dir.copy(fs::path(NOVIQ_LINUX_BUILD_DIR) / "tests/java/apps.jar", folder + "/apps.jar");
        dir.write(folder + "/tool.ini",
                  "[Java Runtime Environment]\nMain Class=" + mainClass + "\n" + kSettings);
    }
    // Starts the first instance and waits until its main runs; its process id.
    pid_t startFirst() {
        first_ = std::async(std::launch::async, [this] {
            RunOptions options;
            options.args = {(folder_ / "stop").string(), (folder_ / "ready").string()};
            return run(Build::Linux, tool_, options);
        });
        for (int i = 0; i < 1000 && readFile(folder_ / "ready").empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return static_cast<pid_t>(std::stol("0" + readFile(folder_ / "ready")));
    }
    RunResult later(const std::vector<std::string>& args) const {
        RunOptions options;
        options.args = args;
        options.timeoutSeconds = 20;
        return run(Build::Linux, tool_, options);
    }
    RunResult stopFirst() {
        dir_.write(fs::relative(folder_ / "stop", dir_.path()).string(), "");
        return first_.get();
    }
    const fs::path& tool() const { return tool_; }

private:
    const ScenarioDir& dir_;
    fs::path folder_, tool_;
    std::future<RunResult> first_;
};

TEST(SingleInstanceLinux, LaterStartsHandTheirArgumentsToTheFirst) {
    ScenarioDir dir;
    Application app(dir, "app", "noviq.apps.Primary");
    app.startFirst();
    const std::pair<std::vector<std::string>, uint32_t> cases[] = {
        // Exact arguments, an empty one in place; the int result is the exit code.
        {{"5", "caf\xC3\xA9", "", "\xE6\x97\xA5\xE6\x9C\xAC"}, 5},
        {{}, 0}, // no arguments: an empty array
        {{"throw"}, 1},
    };
    for (const auto& [args, exitCode] : cases) {
        const RunResult result = app.later(args);
        EXPECT_EQ(result.exitCode, exitCode);
        EXPECT_EQ(result.out, "");
    }
    // Starts that come together each get their own reply.
    std::vector<std::future<RunResult>> concurrent;
    for (int i = 0; i < 50; ++i)
        concurrent.push_back(std::async(std::launch::async,
                                        [&app, i] { return app.later({std::to_string(10 + i)}); }));
    for (int i = 0; i < 50; ++i)
        EXPECT_EQ(concurrent[static_cast<size_t>(i)].get().exitCode, static_cast<uint32_t>(10 + i));

    // Another copy of the launcher is another application: it runs its own main.
    Application other(dir, "copy", "noviq.apps.Primary");
    dir.write("copy/stop", "");
    RunOptions options;
    options.args = {(dir.path() / "copy/stop").string(), (dir.path() / "copy/ready").string()};
    EXPECT_EQ(run(Build::Linux, other.tool(), options).out, "main done\n");

    const RunResult first = app.stopFirst();
    EXPECT_EQ(first.exitCode, 0u);
    EXPECT_EQ(countOf(first.out, "secondary 1 | 0031"), 10u); // "10" to "19"
    EXPECT_EQ(countOf(first.out, "secondary 4 | 0035 | 0063 0061 0066 00E9 | | 65E5 672C\n"), 1u);
    EXPECT_EQ(countOf(first.out, "secondary 0\n"), 1u);
    EXPECT_EQ(countOf(first.err, "java.lang.IllegalStateException: secondary failed"), 1u);
}

TEST(SingleInstanceLinux, VoidRepliesAtOnceAndServicesDoNotCoordinate) {
    ScenarioDir dir;
    Application app(dir, "app", "noviq.apps.PrimaryVoid");
    app.startFirst();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(app.later({"1"}).exitCode, 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));

    // A service never hands over: it runs main itself (which finds its stop file at once).
    dir.write("app/tool.ini", "[Java Runtime Environment]\nMain Class=noviq.apps.PrimaryVoid\n" +
                                  kSettings + "Application Type=service\n");
    dir.write("service-stop", "");
    const RunResult service = app.later(
        {(dir.path() / "service-stop").string(), (dir.path() / "service-ready").string()});
    EXPECT_EQ(service.out, "main done\n");
    EXPECT_EQ(service.exitCode, 0u);
    const RunResult first = app.stopFirst();
    EXPECT_EQ(countOf(first.out, "void secondary done\n"), 1u);
}

TEST(SingleInstanceLinux, FirstInstanceKilledWhileLaterStartsWait) {
    ScenarioDir dir;
    Application app(dir, "app", "noviq.apps.Primary");
    const pid_t first = app.startFirst();
    ASSERT_GT(first, 0);
    std::vector<std::future<RunResult>> waiting;
    for (int i = 0; i < 3; ++i)
        waiting.push_back(std::async(std::launch::async, [&app] { return app.later({"wait"}); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const auto killedAt = std::chrono::steady_clock::now();
    ASSERT_EQ(kill(first, SIGKILL), 0);
    for (auto& later : waiting)
        EXPECT_EQ(later.get().exitCode, 255u);
    EXPECT_LT(std::chrono::steady_clock::now() - killedAt, std::chrono::seconds(2));
    EXPECT_EQ(app.stopFirst().exitCode, 128u + SIGKILL);

    // The next start is a first instance again.
    fs::remove(dir.path() / "app/ready");
    fs::remove(dir.path() / "app/stop");
    app.startFirst();
    EXPECT_EQ(app.later({"7"}).exitCode, 7u);
    EXPECT_EQ(countOf(app.stopFirst().out, "main done\n"), 1u);
}

} // namespace
} // namespace noviq::test
