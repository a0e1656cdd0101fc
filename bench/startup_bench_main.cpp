// Whole-process start-up of a Hello application, three ways, runs interleaved: (a) our
// launcher, (b) a bare JNI host (the least a native host can do), (c) the JDK's own
// "java -cp". Reports the median time to main's first line and to process exit, the median
// peak RSS, and the ratios. Then times the class path assembly for 10,000 jars matched by
// one wildcard entry.
// Usage: startup_bench [RUNS]   (default 21)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "base/string_list.h"
#include "jvm/jvm_options.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Sample {
    double firstLineMs = 0;
    double exitMs = 0;
    double peakRssMb = 0;
    bool ok = false;
};

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Runs argv with stdout on a pipe: when the first line arrives, when the process ends, and
// its peak resident set.
Sample measure(const std::vector<std::string>& argv) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return {};
    const Clock::time_point start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    Sample sample;
    std::string output;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(pipeFds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        if (sample.firstLineMs == 0 &&
            std::string(buffer, static_cast<size_t>(n)).find('\n') != std::string::npos)
            sample.firstLineMs = millisecondsSince(start);
        output.append(buffer, static_cast<size_t>(n));
    }
    close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    sample.exitMs = millisecondsSince(start);
    sample.peakRssMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    sample.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && output == "Hello\n";
    return sample;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

void classPathAssembly(const fs::path& root) {
    const fs::path lib = root / "lib";
    fs::create_directories(lib);
    for (int i = 0; i < 10000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "library-%05d.jar", i);
        std::ofstream(lib / name).put('x');
    }
    noviq::StringList entries;
    entries.add(u"lib/*.jar");
    const noviq::WideString folder(root.u16string().c_str());
    std::vector<double> times;
    size_t length = 0;
    for (int run = 0; run < 15; ++run) {
        const Clock::time_point start = Clock::now();
        const noviq::WideString classPath =
            noviq::assembleClassPath(entries, folder, noviq::PathConventions::current());
        times.push_back(millisecondsSince(start));
        length = static_cast<size_t>(classPath.length());
    }
    std::printf("\nclass path of 10,000 wildcard-matched jars: median %.2f ms, min %.2f ms "
                "(%zu characters; target < 20 ms)\n",
                median(times), *std::min_element(times.begin(), times.end()), length);
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 21;
    char pattern[] = "/tmp/noviq-bench-XXXXXX";
    const fs::path root = mkdtemp(pattern);
    const fs::path jar = root / "apps.jar";
    fs::copy_file(NOVIQ_BENCH_APPS_JAR, jar);
    fs::copy_file(NOVIQ_BENCH_LAUNCHER, root / "hello");
    std::ofstream(root / "hello.ini")
        << "[Java Runtime Environment]\nJRE Path=" NOVIQ_BENCH_JDK
           "\nMain Class=noviq.apps.Hello\n[Class Path]\nClass Path=apps.jar\n";

    struct Variant {
        const char* name;
        std::vector<std::string> argv;
        std::vector<double> firstLine, exit, rss;
    };
    std::vector<Variant> variants = {
        {"launcher", {(root / "hello").string()}, {}, {}, {}},
        {"bare JNI host",
         {NOVIQ_BENCH_BARE_HOST, NOVIQ_BENCH_JDK "/lib/server/libjvm.so", jar.string(),
          "noviq/apps/Hello"},
         {},
         {},
         {}},
        {"java -cp",
         {NOVIQ_BENCH_JDK "/bin/java", "-cp", jar.string(), "noviq.apps.Hello"},
         {},
         {},
         {}},
    };
    for (Variant& v : variants)
        measure(v.argv); // warm the page cache
    int failures = 0;
    for (int run = 0; run < runs; ++run) {
        for (Variant& v : variants) {
            const Sample s = measure(v.argv);
            if (!s.ok) {
                ++failures;
                continue;
            }
            v.firstLine.push_back(s.firstLineMs);
            v.exit.push_back(s.exitMs);
            v.rss.push_back(s.peakRssMb);
        }
    }

    std::printf("Hello start-up, %d interleaved runs each (median)\n", runs);
    std::printf("%-16s %14s %14s %14s\n", "", "first line ms", "exit ms", "peak RSS MB");
    for (const Variant& v : variants)
        std::printf("%-16s %14.1f %14.1f %14.1f\n", v.name, median(v.firstLine), median(v.exit),
                    median(v.rss));
    auto ratio = [&](size_t a, size_t b, const char* label) {
        std::printf("%-16s %14.2f %14.2f %14.2f\n", label,
                    median(variants[a].firstLine) / median(variants[b].firstLine),
                    median(variants[a].exit) / median(variants[b].exit),
                    median(variants[a].rss) / median(variants[b].rss));
    };
    ratio(0, 1, "launcher/bare");
    ratio(0, 2, "launcher/java");
    if (failures)
        std::printf("%d runs failed (wrong output or exit code) and are left out\n", failures);

    classPathAssembly(root / "classpath");
    fs::remove_all(root);
    return failures == 0 ? 0 : 1;
}
