// "Class Data Sharing=auto" against the key off and against "java -cp", for an application
// that loads 3,000 classes from its jars (bench/many_classes, generated in the build): the
// median time to the end of main (its one line) and to the process's end, runs interleaved,
// on the build's JDK and on Temurin 25 where it is installed. The launcher with the key on
// has dumped its archive before the timed runs; that first start is timed once on its own.
// "java -cp" with an archive made by hand (-XX:ArchiveClassesAtExit) is the reference.
// Usage: class_data_sharing_bench [RUNS]   (default 15)
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "process_sample.h"

namespace fs = std::filesystem;

namespace {

const char kOutput[] = "loaded 3000 classes\n";

struct Variant {
    const char* name;
    std::vector<std::string> argv;
    std::vector<double> endOfMain, exit;
};

bool benchmark(const std::string& jdk, const fs::path& root, int runs) {
    const fs::path app = root / fs::path(jdk).filename();
    fs::create_directories(app);
    std::string classPath, iniClassPath;
    for (const char* jar : {"main.jar", "part0.jar", "part1.jar", "part2.jar"}) {
        fs::copy_file(fs::path(NOVIQ_BENCH_MANY_CLASSES) / jar, app / jar);
        classPath += (classPath.empty() ? "" : ":") + (app / jar).string();
        iniClassPath += (iniClassPath.empty() ? "" : ":") + std::string(jar);
    }
    for (const char* name : {"off", "on"}) {
        fs::copy_file(NOVIQ_BENCH_LAUNCHER, app / name);
        std::ofstream(app / (std::string(name) + ".ini"))
            << "[Java Runtime Environment]\nJRE Path=" << jdk << "\nMain Class=bench.Main\n"
            << (std::string(name) == "on" ? "Class Data Sharing=auto\n" : "")
            << "[Class Path]\nClass Path=" << iniClassPath << "\n";
    }
    const std::string java = jdk + "/bin/java";
    const std::string handMade = (app / "hand-made.jsa").string();

    // The first start with the key on dumps; so does the hand-made reference.
    const bench::Sample dump = bench::measure({(app / "on").string()}, kOutput);
    const bench::Sample handDump = bench::measure(
        {java, "-XX:ArchiveClassesAtExit=" + handMade, "-cp", classPath, "bench.Main"}, kOutput);
    if (!dump.ok || !handDump.ok) {
        std::printf("%s: the dumping starts failed\n", jdk.c_str());
        return false;
    }

    std::vector<Variant> variants = {
        {"launcher, key off", {(app / "off").string()}, {}, {}},
        {"launcher, key on", {(app / "on").string()}, {}, {}},
        {"java -cp", {java, "-cp", classPath, "bench.Main"}, {}, {}},
        {"java -cp, hand-made archive",
         {java, "-XX:SharedArchiveFile=" + handMade, "-cp", classPath, "bench.Main"},
         {},
         {}},
    };
    for (Variant& v : variants)
        bench::measure(v.argv, kOutput); // warm the page cache
    int failures = 0;
    for (int run = 0; run < runs; ++run) {
        for (Variant& v : variants) {
            const bench::Sample s = bench::measure(v.argv, kOutput);
            if (!s.ok) {
                ++failures;
                continue;
            }
            v.endOfMain.push_back(s.firstLineMs);
            v.exit.push_back(s.exitMs);
        }
    }

    std::printf("\n%s: 3,000 classes, %d interleaved runs each (median)\n", jdk.c_str(), runs);
    std::printf("%-30s %14s %10s\n", "", "end of main ms", "exit ms");
    for (const Variant& v : variants)
        std::printf("%-30s %14.1f %10.1f\n", v.name, bench::median(v.endOfMain),
                    bench::median(v.exit));
    std::printf("%-30s %14.1f %10.1f\n", "launcher, key on, first start", dump.firstLineMs,
                dump.exitMs);
    const double on = bench::median(variants[1].endOfMain);
    std::printf("key on / key off: %.2f (target at most 0.50); key on / java -cp: %.2f; "
                "key on / hand-made archive: %.2f\n",
                on / bench::median(variants[0].endOfMain),
                on / bench::median(variants[2].endOfMain),
                on / bench::median(variants[3].endOfMain));
    if (failures)
        std::printf("%d runs failed (wrong output or exit code) and are left out\n", failures);
    return failures == 0;
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::atoi(argv[1]) : 15;
    char pattern[] = "/tmp/noviq-cds-bench-XXXXXX";
    const fs::path root = mkdtemp(pattern);
    // The launcher's archives go to a cache folder of the benchmark's own.
    setenv("XDG_CACHE_HOME", (root / "cache").c_str(), 1);
    bool ok = true;
    for (const std::string& jdk :
         {std::string(NOVIQ_BENCH_JDK), std::string("/usr/lib/jvm/temurin-25-jdk-amd64")})
        if (fs::exists(jdk + "/bin/java"))
            ok = benchmark(jdk, root, runs) && ok;
    fs::remove_all(root);
    return ok ? 0 : 1;
}
