// Service mode on Linux with the system JDK: a foreground daemon that takes SIGTERM and
// SIGINT as the stop request and reports its state with the systemd notify protocol.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <functional>
#include <future>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

#include "harness.h"

namespace fs = std::filesystem;

namespace noviq::test {
namespace {

// A datagram socket standing in for systemd's notify socket.
class NotifySocket {
public:
    explicit NotifySocket(const fs::path& path) : path_(path) {
        fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
        EXPECT_EQ(bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    }
    ~NotifySocket() { close(fd_); }
    std::vector<std::string> messages() const {
        std::vector<std::string> received;
        char buffer[512];
        ssize_t n;
        while ((n = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT)) > 0)
            received.emplace_back(buffer, static_cast<size_t>(n));
        return received;
    }
    const fs::path& path() const { return path_; }
    // Sends from a socket of its own until the queue takes no more: a receiver that never
    // reads.
    void fill() const {
        const int sender = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path_.c_str());
        int sent = 0;
        while (sendto(sender, "x", 1, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&address),
                      sizeof address) == 1)
            ++sent;
        close(sender);
        EXPECT_GT(sent, 0);
    }

private:
    fs::path path_;
    int fd_ = -1;
};

struct Daemon {
    ScenarioDir dir;
    fs::path tool;
    Daemon(const std::string& mainClass,
           const std::string& more = "[Class Path]\nClass Path=apps.jar\n",
           const std::string& application = "") {
        tool = dir.copy(launcherBinary(Build::Linux), "svc");
        dir.copy(fs::path(NOVIQ_LINUX_BUILD_DIR) / "tests/java/apps.jar", "apps.jar");
        dir.write("svc.ini", "[Java Runtime Environment]\nMain Class=" + mainClass +
                                 "\nJRE Path=/usr/lib/jvm/java-17-openjdk-amd64\n" + more +
                                 "[Application]\nApplication Type=service\n" + application);
    }
    // Runs the daemon and sends the signal once `ready` says so (by default once main has
    // had time to be entered).
    RunResult runAndSignal(int signal, std::vector<std::string> args = {},
                           std::vector<std::pair<std::string, std::string>> env = {},
                           std::function<bool()> ready = {}) {
        std::atomic<int> pid{0};
        RunOptions options;
        options.args = std::move(args);
        options.env = std::move(env);
        options.timeoutSeconds = 30;
        options.started = [&](int started) { pid = started; };
        auto running =
            std::async(std::launch::async, [&] { return run(Build::Linux, tool, options); });
        for (int i = 0; i < 500 && (pid == 0 || (ready && !ready())); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (!ready)
            std::this_thread::sleep_for(std::chrono::milliseconds(700));
        kill(pid, signal);
        return running.get();
    }
};

TEST(ServiceLinux, SignalsStopTheApplication) {
    Daemon daemon("noviq.apps.Daemon");
    NotifySocket notify(daemon.dir.path() / "notify");
    // SIGTERM: stop() ends main, which ends with its own status.
    const std::pair<std::string, std::string> notifying{"NOTIFY_SOCKET", notify.path().string()};
    const RunResult stopped = daemon.runAndSignal(SIGTERM, {"5"}, {notifying});
    EXPECT_EQ(stopped.out, "main entered 5\nstop called\nmain stopped\nhook ran\n");
    EXPECT_EQ(stopped.exitCode, 5u) << stopped.err;
    EXPECT_EQ(notify.messages(),
              (std::vector<std::string>{"STATUS=Starting", "READY=1\nSTATUS=Running",
                                        "STOPPING=1\nSTATUS=Stopping",
                                        "STATUS=Stopped with exit status 5"}));
    // SIGINT and SIGHUP (the terminal that started it closed) the same way; main returns: a
    // clean stop. A notify receiver whose queue is full loses the reports, not the stop.
    NotifySocket full(daemon.dir.path() / "full");
    full.fill();
    for (const int signal : {SIGINT, SIGHUP}) {
        const RunResult interrupted =
            daemon.runAndSignal(signal, {}, {{"NOTIFY_SOCKET", full.path().string()}});
        EXPECT_EQ(interrupted.out, "main entered \nstop called\nmain stopped\nhook ran\n");
        EXPECT_EQ(interrupted.exitCode, 0u) << signal;
    }
    // A stop before main is entered (as soon as the daemon takes signals) is not lost: the
    // start is cancelled, or stop() is called once main is entered.
    std::vector<std::string> seen;
    const RunResult early = daemon.runAndSignal(SIGTERM, {}, {notifying}, [&] {
        for (const std::string& message : notify.messages())
            seen.push_back(message);
        return !seen.empty();
    });
    EXPECT_EQ(early.exitCode, 0u) << early.out << early.err;
    // stop() may run just before main's first line.
    EXPECT_TRUE(early.out.empty() || (countOf(early.out, "stop called\n") == 1 &&
                                      countOf(early.out, "main entered \n") == 1 &&
                                      early.out.ends_with("main stopped\nhook ran\n")))
        << early.out;
}

// A server without a static stop() whose configured call fails is ended by System.exit (after
// the stop timeout when the call hangs), and the process 5 s after that when even System.exit
// does not end it. A configured call that stops it, and System.exit at once without one:
// service_wine_test.cpp.
// Status 143 whenever Java is ended, as for a plain java process; one error line for each
// fault, no Java trace.
TEST(ServiceLinux, ConfiguredStopCallsAndTheirEnd) {
    const std::string error = "Error: The stop method noviq.apps.DaemonNoStop.";
    const struct {
        const char* keys;
        const char* argument;
        std::string err;
        double seconds;     // at least this long from the signal to the end
        const char* traced; // a line of the trace; empty: none checked
    } cases[] = {
        {"Stop Method=halt\n", "", error + "halt was not found: Java is ended with System.exit. \n",
         0, "service: stop requested (signal 15)"},
        {"Stop Method=main\nStop Parameters=-shutdown wrong\nStop Timeout=1\n", "",
         error + "main failed: java.lang.IllegalArgumentException: wrong password \n", 1, ""},
        {"Stop Method=main\nStop Parameters=-hang\nStop Timeout=1\n", "slow-hook", "", 6,
         "service: not ended 1 s after the stop; Java is ended"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys);
        Daemon server("noviq.apps.DaemonNoStop", "[Class Path]\nClass Path=apps.jar\n", c.keys);
        const auto start = std::chrono::steady_clock::now();
        const fs::path trace = server.dir.path() / "trace.txt";
        const RunResult ended =
            server.runAndSignal(SIGTERM, {c.argument}, {{"NOVIQ_TRACE", trace.string()}});
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() - 0.7;
        if (*c.traced) {
            EXPECT_NE(readFile(trace).find(std::string(c.traced) + "\n"), std::string::npos)
                << readFile(trace);
        }
        EXPECT_EQ(ended.out, "main entered\nhook ran\n");
        EXPECT_EQ(ended.exitCode, 143u);
        EXPECT_EQ(ended.err, c.err);
        EXPECT_GE(seconds, c.seconds);
        EXPECT_LT(seconds, c.seconds + 3);
    }
}

TEST(ServiceLinux, FailedStartIsReportedOnceOnStandardError) {
    Daemon daemon("noviq.apps.Daemon", "");
    const RunResult result = run(Build::Linux, daemon.tool);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "Error: Java Class Path was not specified in INI file. \n");
    EXPECT_EQ(result.exitCode, 255u);
}

} // namespace
} // namespace noviq::test
