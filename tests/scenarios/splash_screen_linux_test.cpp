// The splash screen with a real runtime on an X server (Xvfb): on the screen before main,
// java.awt.SplashScreen hands it to the application, and the first window takes it down.
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

#include "harness.h"

extern char** environ;

namespace fs = std::filesystem;

namespace noviq::test {
namespace {

// Debian's JDK 17 crashes in its own splash library under Xvfb (plain "java -splash:" too).
const char kTemurin[] = "/usr/lib/jvm/temurin-25-jdk-amd64";
const char kDisplay[] = ":71";

// A 640x480 X server with a black root window, for the life of the object.
class VirtualScreen {
public:
    VirtualScreen() {
        const char* argv[] = {"Xvfb", kDisplay,    "-screen", "0",    "640x480x24",
                              "-br",  "-nolisten", "tcp",     nullptr};
        posix_spawnp(&pid_, "Xvfb", nullptr, nullptr, const_cast<char**>(argv), environ);
        const fs::path socket = std::string("/tmp/.X11-unix/X") + (kDisplay + 1);
        for (int i = 0; i < 500 && !fs::exists(socket); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ~VirtualScreen() {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }

private:
    pid_t pid_ = 0;
};

// The colour of one pixel of the screen, as "#RRGGBB".
std::string pixel(int x, int y) {
    const std::string command = std::string("import -display ") + kDisplay +
                                " -window root -crop 1x1+" + std::to_string(x) + "+" +
                                std::to_string(y) + " -depth 8 txt:- 2>/dev/null";
    std::string text(256, '\0');
    FILE* pipe = popen(command.c_str(), "r");
    text.resize(pipe ? fread(text.data(), 1, text.size(), pipe) : 0);
    if (pipe)
        pclose(pipe);
    const size_t hash = text.find('#', text.find('\n')); // after the header line
    return hash == std::string::npos ? text : text.substr(hash, 7);
}

bool appears(const fs::path& file) {
    for (int i = 0; i < 2000 && !fs::exists(file); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return fs::exists(file);
}

TEST(SplashScreenLinux, ShownBeforeMainThenTheApplicationsUntilItsFirstWindow) {
    if (!fs::exists(kTemurin) || system("command -v Xvfb import >/dev/null") != 0)
        GTEST_SKIP() << "Temurin 25, Xvfb or ImageMagick's import is missing";
    VirtualScreen screen;
    ScenarioDir dir;
    const fs::path tool = dir.copy(launcherBinary(Build::Linux), "tool");
    dir.copy(fs::path(NOVIQ_LINUX_BUILD_DIR) / "tests/java/apps.jar", "apps.jar");
    dir.copy(fs::path(NOVIQ_SOURCE_DIR) / "tests/fixtures/splash.png", "splash.png");
    // The JVM waits while the file it made exists: a look at the screen before main.
    dir.write("tool.ini", "[Java Runtime Environment]\nJRE Path=" + std::string(kTemurin) +
                              "\nMain Class=noviq.apps.Splash\nVirtual Machine Parameters="
                              "-XX:+UnlockDiagnosticVMOptions -XX:+PauseAtStartup "
                              "-XX:PauseAtStartupFile=paused\n[Class Path]\nClass Path=apps.jar\n"
                              "[Application]\nSplash Screen=splash.png\nCmd=" +
                              dir.path().string() + "\n");
    RunOptions options;
    options.env = {{"DISPLAY", kDisplay}};
    options.timeoutSeconds = 40;
    RunResult result;
    std::thread launcher([&] { result = run(Build::Linux, tool, options); });
    // The 100x100 red image in the middle of the screen; the application paints its left
    // half green; its window, at the top left, leaves the middle black.
    const struct {
        const char* step;
        const char* left;
        const char* right;
    } steps[] = {{"paused", "#FF0000", "#FF0000"},
                 {"painted", "#00FF00", "#FF0000"},
                 {"window", "#000000", "#000000"}};
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        EXPECT_TRUE(appears(dir.path() / s.step));
        EXPECT_EQ(pixel(295, 240), s.left);
        EXPECT_EQ(pixel(345, 240), s.right);
        if (std::string(s.step) == "paused")
            fs::remove(dir.path() / s.step);
        else
            dir.write("go", "");
    }
    launcher.join();
    EXPECT_EQ(result.out, "splash file:" + (dir.path() / "splash.png").string() +
                              "\nvisible after the window false\n");
    EXPECT_EQ(result.exitCode, 0u) << result.err;
}

} // namespace
} // namespace noviq::test
