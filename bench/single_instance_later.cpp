// A later single-instance start's whole-process time, exec to exit, against /bin/true: the
// first instance (noviq.apps.Primary on the system JDK) runs throughout and its
// secondaryMain returns at once. Also checks, with the dynamic loader's own report, that a
// later start loads neither the JVM library nor any GUI library.
// Usage: single_instance_later [RUNS]   (default 300)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

extern char** environ;

namespace {

pid_t spawn(const std::vector<std::string>& argv, const char* output = "/dev/null",
            char** environment = environ) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, output, O_WRONLY | O_CREAT | O_TRUNC,
                                     0600);
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environment);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

int wait(pid_t pid) {
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double medianMs(const std::vector<std::string>& argv, int runs) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const Clock::time_point start = Clock::now();
        wait(spawn(argv));
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    const fs::path dir = fs::temp_directory_path() / ("noviq-si-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    fs::copy_file(NOVIQ_BENCH_LAUNCHER, dir / "tool");
    fs::copy_file(NOVIQ_BENCH_APPS_JAR, dir / "apps.jar");
    std::ofstream(dir / "tool.ini")
        << "[Java Runtime Environment]\nMain Class=noviq.apps.Primary\n"
           "JRE Path=" NOVIQ_BENCH_JDK "\n[Class Path]\nClass Path=apps.jar\n"
           "[Application]\nSingle Instance=yes\n";
    const std::string tool = (dir / "tool").string();
    const pid_t first = spawn({tool, (dir / "stop").string(), (dir / "ready").string()});
    for (int i = 0; i < 1000 && !fs::exists(dir / "ready"); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));

    // The loader lists every library it loads when LD_DEBUG=libs.
    std::vector<std::string> variables = {"LD_DEBUG=libs"};
    for (char** v = environ; *v; ++v)
        variables.push_back(*v);
    std::vector<char*> environment;
    for (std::string& v : variables)
        environment.push_back(v.data());
    environment.push_back(nullptr);
    const std::string report = (dir / "loader.txt").string();
    const int code = wait(spawn({tool, "0"}, report.c_str(), environment.data()));
    std::ifstream in(report);
    const std::string loaded((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
    const bool jvm = loaded.find("libjvm") != std::string::npos;
    const bool gui = loaded.find("libX11") != std::string::npos ||
                     loaded.find("libgtk") != std::string::npos ||
                     loaded.find("libawt") != std::string::npos;

    const double trivial = medianMs({"/bin/true"}, runs);
    const double later = medianMs({tool, "0"}, runs);
    std::printf("later start exit code %d; JVM library loaded: %s; GUI library loaded: %s\n", code,
                jvm ? "yes" : "no", gui ? "yes" : "no");
    std::printf("median of %d runs, exec to exit: later start %.2f ms, /bin/true %.2f ms, "
                "difference %.2f ms (target <= 5 ms)\n",
                runs, later, trivial, later - trivial);

    std::ofstream(dir / "stop").put('x');
    wait(first);
    fs::remove_all(dir);
    return jvm || gui || code != 0 ? 1 : 0;
}
