// The splash screen's head start: for a Hello application with "Splash Screen" set, the time
// from exec to the first frame of the splash on the screen (the X server polled at the
// image's centre) against the time to main's first line, per runtime; "java -splash:" of
// the same runtime alongside. Needs an X server: DISPLAY, or Xvfb started here on :79.
// Usage: splash_bench [RUNS]   (default 11)
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "process_sample.h"

namespace fs = std::filesystem;
using bench::Clock;
using bench::median;
using bench::millisecondsSince;

namespace {

struct Timing {
    double splashMs = -1; // -1: never seen
    double mainMs = -1;
    bool ok = false;
};

bool centreIsRed(Display* display) {
    const int x = DisplayWidth(display, 0) / 2, y = DisplayHeight(display, 0) / 2;
    XImage* image = XGetImage(display, DefaultRootWindow(display), x, y, 1, 1, AllPlanes, ZPixmap);
    if (!image)
        return false;
    const unsigned long pixel = XGetPixel(image, 0, 0);
    XDestroyImage(image);
    return (pixel & 0xffffff) == 0xff0000;
}

// One run: polls the screen and the child's standard output until the child ends.
Timing timeRun(Display* display, const std::vector<std::string>& argv) {
    while (centreIsRed(display)) // the last run's splash still closing
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const Clock::time_point start = Clock::now();
    pid_t pid = 0;
    const int out = bench::startWithOutputPipe(argv, pid);
    if (out < 0)
        return {};
    fcntl(out, F_SETFL, O_NONBLOCK);
    Timing timing;
    int status = 0;
    for (;;) {
        if (timing.splashMs < 0 && centreIsRed(display))
            timing.splashMs = millisecondsSince(start);
        char buffer[256];
        const ssize_t n = read(out, buffer, sizeof buffer);
        if (n > 0 && timing.mainMs < 0)
            timing.mainMs = millisecondsSince(start);
        if (n == 0 || (n < 0 && waitpid(pid, &status, WNOHANG) == pid))
            break;
    }
    if (waitpid(pid, &status, WNOHANG) == 0 || !WIFEXITED(status))
        waitpid(pid, &status, 0);
    close(out);
    timing.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return timing;
}

void report(Display* display, const char* label, const std::vector<std::string>& argv, int runs) {
    std::vector<double> splash, main;
    int failed = 0, unseen = 0;
    for (int run = 0; run < runs; ++run) {
        const Timing t = timeRun(display, argv);
        if (!t.ok || t.mainMs < 0) {
            ++failed;
            continue;
        }
        main.push_back(t.mainMs);
        if (t.splashMs < 0)
            ++unseen;
        else
            splash.push_back(t.splashMs);
    }
    std::printf("%-36s first splash frame %7.1f ms   main %7.1f ms   (%zu runs; %d failed, %d "
                "without a splash)\n",
                label, splash.empty() ? -1.0 : median(splash), main.empty() ? -1.0 : median(main),
                main.size(), failed, unseen);
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 11;
    pid_t xvfb = 0;
    if (!getenv("DISPLAY")) {
        const char* args[] = {"Xvfb", ":79",       "-screen", "0",    "640x480x24",
                              "-br",  "-nolisten", "tcp",     nullptr};
        xvfb = fork();
        if (xvfb == 0) {
            execvp(args[0], const_cast<char**>(args));
            _exit(127);
        }
        setenv("DISPLAY", ":79", 1);
        for (int i = 0; i < 500 && !fs::exists("/tmp/.X11-unix/X79"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "splash_bench: no X server\n");
        return 1;
    }
    char pattern[] = "/tmp/noviq-splash-bench-XXXXXX";
    const fs::path root = mkdtemp(pattern);
    fs::copy_file(NOVIQ_BENCH_APPS_JAR, root / "apps.jar");
    fs::copy_file(NOVIQ_BENCH_SPLASH_IMAGE, root / "splash.png");
    std::printf("Hello with a 100x100 splash image, median of %d runs, times from exec\n", runs);
    for (const char* jdk :
         {"/usr/lib/jvm/temurin-25-jdk-amd64", "/usr/lib/jvm/java-17-openjdk-amd64"}) {
        if (!fs::exists(jdk))
            continue;
        const std::string name = fs::path(jdk).filename().string();
        const fs::path tool = root / name;
        fs::copy_file(NOVIQ_BENCH_LAUNCHER, tool);
        std::ofstream(root / (name + ".ini"))
            << "[Java Runtime Environment]\nJRE Path=" << jdk
            << "\nMain Class=noviq.apps.Hello\n[Class Path]\nClass Path=apps.jar\n"
               "[Application]\nSplash Screen=splash.png\n";
        report(display, (name + ", launcher").c_str(), {tool.string()}, runs);
        report(display, (name + ", java -splash:").c_str(),
               {std::string(jdk) + "/bin/java", "-splash:" + (root / "splash.png").string(), "-cp",
                (root / "apps.jar").string(), "noviq.apps.Hello"},
               runs);
    }
    XCloseDisplay(display);
    fs::remove_all(root);
    if (xvfb > 0) {
        kill(xvfb, SIGTERM);
        waitpid(xvfb, nullptr, 0);
    }
    return 0;
}
