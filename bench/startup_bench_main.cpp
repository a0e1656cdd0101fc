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
#include <string>
#include <unistd.h>
#include <vector>

#include "base/string_list.h"
#include "jvm/jvm_options.h"
#include "process_sample.h"

namespace fs = std::filesystem;
using bench::Clock;
using bench::median;
using bench::millisecondsSince;

namespace {

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
        bench::measure(v.argv, "Hello\n"); // warm the page cache
    int failures = 0;
    for (int run = 0; run < runs; ++run) {
        for (Variant& v : variants) {
            const bench::Sample s = bench::measure(v.argv, "Hello\n");
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
