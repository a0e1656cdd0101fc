// Single instance on Linux with the system JDK: later starts of one executable hand their
// arguments to the first (noviq.apps.Primary), and end with its reply; a
// program that holds the socket's name first holds no start.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <future>
#include <grp.h>
#include <memory>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#include "harness.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace noviq::test {
namespace {

const std::string kSettings =
    "JRE Path=/usr/lib/jvm/java-17-openjdk-amd64\n"
    "[Class Path]\nClass Path=apps.jar\n[Application]\nSingle Instance=yes\n";

using Environment = std::vector<std::pair<std::string, std::string>>;
// No runtime folder: the socket is an abstract name.
const Environment kNoRuntimeFolder = {{"XDG_RUNTIME_DIR", ""}};

// A launcher copy at dir/<folder>/tool whose first start runs mainClass until "stop" exists.
class Application {
public:
    Application(const ScenarioDir& dir, const std::string& folder, const std::string& mainClass,
                Environment env = kNoRuntimeFolder)
        : dir_(dir), folder_(dir.path() / folder), env_(std::move(env)) {
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
            options.env = env_;
            return run(Build::Linux, tool_, options);
        });
        for (int i = 0; i < 1000 && readFile(folder_ / "ready").empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        return static_cast<pid_t>(std::stol("0" + readFile(folder_ / "ready")));
    }
    RunResult later(const std::vector<std::string>& args) const {
        RunOptions options;
        options.args = args;
        options.env = env_;
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
    Environment env_;
    std::future<RunResult> first_;
};

// A folder only its owner may enter, as $XDG_RUNTIME_DIR is.
fs::path privateFolder(const ScenarioDir& dir, const std::string& name) {
    const fs::path folder = dir.path() / name;
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace);
    return folder;
}

// The abstract name a process listens on, from the system's table of Unix sockets.
std::string abstractNameOf(pid_t pid) {
    std::vector<std::string> inodes;
    for (const fs::directory_entry& entry :
         fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd")) {
        std::error_code error;
        const std::string target = fs::read_symlink(entry.path(), error).string();
        if (target.starts_with("socket:["))
            inodes.push_back(target.substr(8, target.size() - 9));
    }
    std::istringstream table(readFile("/proc/net/unix"));
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string field[8];
        for (std::string& f : field)
            fields >> f;
        if (field[7].starts_with("@") && std::ranges::count(inodes, field[6]) > 0)
            return field[7].substr(1);
    }
    return "";
}

// Another program that binds the abstract name first and never accepts: its queue holds one
// connection, its own, so a connect() to it waits. When the tests run as root it runs as
// nobody, as another user's attack would; otherwise as this user.
class Squatter {
public:
    explicit Squatter(const std::string& name) {
        int ready[2];
        if (pipe2(ready, O_CLOEXEC) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            name.copy(address.sun_path + 1, sizeof address.sun_path - 1);
            const auto length =
                static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
            const auto* at = reinterpret_cast<const sockaddr*>(&address);
            if (geteuid() == 0 &&
                (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 ||
                 setresuid(65534, 65534, 65534) != 0))
                _exit(1);
            const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
            const int own = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
            if (bind(listener, at, length) != 0 || listen(listener, 0) != 0 ||
                connect(own, at, length) != 0)
                _exit(2);
            if (write(ready[1], "x", 1) != 1)
                _exit(3);
            for (;;)
                pause();
        }
        close(ready[1]);
        char byte;
        holds_ = pid_ > 0 && read(ready[0], &byte, 1) == 1;
        close(ready[0]);
    }
    ~Squatter() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    bool holds() const { return holds_; }

private:
    pid_t pid_ = -1;
    bool holds_ = false;
};

// What secondaryMain's kinds reply (void, int, an exception) and the longest request are
// checked under Wine (single_instance_test.cpp): here the socket carries the exact arguments
// and each concurrent start's own reply, and a real JVM's exception is printed.
TEST(SingleInstanceLinux, LaterStartsHandTheirArgumentsToTheFirst) {
    ScenarioDir dir;
    Application app(dir, "app", "noviq.apps.Primary");
    app.startFirst();
    // Exact arguments, an empty one in place; the int result is the exit code.
    const RunResult result = app.later({"5", "caf\xC3\xA9", "", "\xE6\x97\xA5\xE6\x9C\xAC"});
    EXPECT_EQ(result.exitCode, 5u);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(app.later({"throw"}).exitCode, 1u); // and the first instance prints the exception
    std::vector<std::future<RunResult>> concurrent;
    for (int i = 0; i < 20; ++i)
        concurrent.push_back(std::async(std::launch::async,
                                        [&app, i] { return app.later({std::to_string(10 + i)}); }));
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(concurrent[static_cast<size_t>(i)].get().exitCode, static_cast<uint32_t>(10 + i));

    // Another copy of the launcher is another application, and a service never hands over:
    // each runs its own main, which ends at once (its first argument names a file that exists).
    Application other(dir, "copy", "noviq.apps.Primary");
    dir.write("copy/stop", "");
    const std::vector<std::string> endsAtOnce = {(dir.path() / "copy/stop").string(),
                                                 (dir.path() / "copy/ready").string()};
    RunOptions options;
    options.args = endsAtOnce;
    EXPECT_EQ(run(Build::Linux, other.tool(), options).out, "main done\n");
    dir.write("app/tool.ini", "[Java Runtime Environment]\nMain Class=noviq.apps.Primary\n" +
                                  kSettings + "Application Type=service\n");
    const RunResult service = app.later(endsAtOnce);
    EXPECT_EQ(service.out, "main done\n");
    EXPECT_EQ(service.exitCode, 0u);

    const RunResult first = app.stopFirst();
    EXPECT_EQ(first.exitCode, 0u);
    EXPECT_EQ(countOf(first.out, "secondary 1 | 0031"), 10u); // "10" to "19"
    EXPECT_EQ(countOf(first.out, "secondary 4 | 0035 | 0063 0061 0066 00E9 | | 65E5 672C\n"), 1u);
    EXPECT_EQ(countOf(first.err, "java.lang.IllegalStateException: secondary failed"), 1u);
}

// A first instance that gives no reply (killed while secondaryMain runs, or without one)
// leaves its later starts waiting until it ends; they end with -1 then. The killed one leaves
// its socket file behind in the runtime folder, and the next start is a first instance again.
TEST(SingleInstanceLinux, LaterStartsWithoutAReplyWaitForTheFirstsEnd) {
    const struct {
        const char* mainClass;
        const char* argument;
        bool killed;
    } cases[] = {{"noviq.apps.Primary", "wait", true}, {"noviq.apps.PrimaryAlone", "1", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mainClass);
        ScenarioDir dir;
        Application app(dir, "app", c.mainClass,
                        {{"XDG_RUNTIME_DIR", privateFolder(dir, "run").string()}});
        const pid_t first = app.startFirst();
        ASSERT_GT(first, 0);
        std::vector<std::future<RunResult>> waiting;
        for (int i = 0; i < 3; ++i)
            waiting.push_back(
                std::async(std::launch::async, [&] { return app.later({c.argument}); }));
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        for (auto& later : waiting)
            EXPECT_EQ(later.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
        const auto endedAt = Clock::now();
        if (c.killed) {
            ASSERT_EQ(kill(first, SIGKILL), 0);
        }
        const RunResult firstResult = app.stopFirst();
        for (auto& later : waiting)
            EXPECT_EQ(later.get().exitCode, 255u);
        EXPECT_LT(Clock::now() - endedAt, std::chrono::seconds(2));
        EXPECT_EQ(firstResult.exitCode, c.killed ? 128u + SIGKILL : 0u);
        if (!c.killed)
            continue;
        fs::remove(dir.path() / "app/ready");
        fs::remove(dir.path() / "app/stop");
        app.startFirst();
        EXPECT_EQ(app.later({"7"}).exitCode, 7u);
        EXPECT_EQ(countOf(app.stopFirst().out, "main done\n"), 1u);
    }
}

// The abstract name held first by another program that takes no connections holds no start:
// a start that cannot connect in time runs as an ordinary one, and a private runtime folder
// puts the socket out of the squatter's reach. Any other runtime folder is not used (the
// socket stays an abstract name, held by nobody then).
TEST(SingleInstanceLinux, SquatterOfTheNameHoldsNoStart) {
    ScenarioDir dir;
    const fs::path own = privateFolder(dir, "run"), open = privateFolder(dir, "open");
    fs::permissions(open, fs::perms::all);
    fs::create_directory_symlink(own, dir.path() / "link");
    const fs::path others = privateFolder(dir, "others");
    const bool root = geteuid() == 0;
    if (root) {
        ASSERT_EQ(chown(others.c_str(), 65534, 65534), 0);
    }
    const struct {
        fs::path runtimeFolder;
        bool squatted;    // the abstract name is held
        bool coordinates; // else each start runs as an ordinary one
        bool needsRoot;
    } cases[] = {
        {"", true, false, false},    {own, true, true, false},
        {open, false, true, false},  {dir.path() / "link", false, true, false},
        {others, false, true, true},
    };
    std::string name;
    {
        Application probe(dir, "app", "noviq.apps.Primary");
        name = abstractNameOf(probe.startFirst());
        probe.stopFirst();
    }
    ASSERT_FALSE(name.empty());
    auto squatter = std::make_unique<Squatter>(name);
    ASSERT_TRUE(squatter->holds());
    std::vector<std::string> skipped;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.runtimeFolder);
        if (c.needsRoot && !root) {
            skipped.push_back(c.runtimeFolder);
            continue;
        }
        if (!c.squatted)
            squatter.reset();
        fs::remove(dir.path() / "app/ready");
        fs::remove(dir.path() / "app/stop");
        Application app(dir, "app", "noviq.apps.Primary",
                        {{"XDG_RUNTIME_DIR", c.runtimeFolder.string()}});
        ASSERT_GT(app.startFirst(), 0);
        if (!c.runtimeFolder.empty()) {
            EXPECT_EQ(fs::is_empty(c.runtimeFolder), c.runtimeFolder != own);
        }
        // Primary's main ends at once when its first argument names a file that exists.
        const RunResult second = app.later({app.tool().string(), (dir.path() / "ready2").string()});
        if (c.coordinates) {
            EXPECT_EQ(second.exitCode, 2u); // secondaryMain's count of arguments
            EXPECT_EQ(second.out, "");
        } else {
            EXPECT_EQ(second.exitCode, 0u);
            EXPECT_EQ(second.out, "main done\n");
        }
        EXPECT_EQ(app.stopFirst().exitCode, 0u);
    }
    if (!skipped.empty())
        GTEST_SKIP() << "not root: a runtime folder of another user (and a squatter of another "
                        "uid) needs root; not run: "
                     << skipped.front();
}

} // namespace
} // namespace noviq::test
