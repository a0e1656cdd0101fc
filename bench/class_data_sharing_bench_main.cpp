// "Class Data Sharing=auto" against the key off and against "java -cp", for an application
// that loads 3,000 classes from its jars (bench/many_classes, generated in the build): the
// median time to the end of main (its one line) and to the process's end, runs interleaved,
// on the build's JDK and on Temurin 25 where it is installed. The launcher with the key on
// has dumped its archive before the timed runs; that first start is timed once on its own.
// "java -cp" with an archive made by hand (-XX:ArchiveClassesAtExit) is the reference. From
// Java 24 on the launcher keeps the ahead-of-time cache instead; there a cache made by hand
// (the two-step -XX:AOTMode form) is timed too, and so is the background creation.
// Usage: class_data_sharing_bench [RUNS]   (default 15)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
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

// Whether the launcher's background creation of the ahead-of-time cache has ended: its job
// file is gone (waits up to a minute).
bool cacheCreationEnded(const fs::path& cache) {
    for (int i = 0; i < 600; ++i) {
        bool pending = false;
        if (fs::exists(cache))
            for (const fs::directory_entry& entry : fs::directory_iterator(cache))
                pending = pending || entry.path().extension() == ".job";
        if (!pending)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// Java 24 or later, by the runtime's release file.
bool hasAotCache(const std::string& jdk) {
    std::ifstream release(jdk + "/release");
    for (std::string line; std::getline(release, line);)
        if (line.rfind("JAVA_VERSION=\"", 0) == 0)
            return std::atoi(line.c_str() + 14) >= 24;
    return false;
}

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

    // The first start with the key on dumps (or records); so does the hand-made reference.
    const auto firstStart = std::chrono::steady_clock::now();
    const bench::Sample dump = bench::measure({(app / "on").string()}, kOutput);
    const bool aot = hasAotCache(jdk);
    // Root's start is elevated: its caches are in the folder only root can write.
    const fs::path cacheFolder =
        geteuid() == 0 ? fs::path("/var/cache/noviq/cds") : root / "cache/noviq/cds";
    if (aot && !cacheCreationEnded(cacheFolder)) {
        std::printf("%s: the ahead-of-time cache was not created\n", jdk.c_str());
        return false;
    }
    const double untilCached =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - firstStart)
            .count();
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
    const std::string handMadeCache = (app / "hand-made.aot").string();
    if (aot) {
        const std::string configuration = (app / "hand-made.aotconf").string();
        const bench::Sample record = bench::measure(
            {java, "-XX:AOTMode=record", "-XX:AOTConfiguration=" + configuration, "-cp", classPath,
             "bench.Main"},
            kOutput + std::string(" AOTConfiguration recorded: ") + configuration + "\n");
        bench::measure({java, "-XX:AOTMode=create", "-XX:AOTConfiguration=" + configuration,
                        "-XX:AOTCache=" + handMadeCache, "-cp", classPath},
                       "");
        if (!record.ok || !fs::exists(handMadeCache)) {
            std::printf("%s: the hand-made ahead-of-time cache failed\n", jdk.c_str());
            return false;
        }
        variants.push_back({"java -cp, hand-made AOT cache",
                            {java, "-XX:AOTCache=" + handMadeCache, "-Xlog:aot*=off", "-cp",
                             classPath, "bench.Main"},
                            {},
                            {}});
    }
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
    if (aot)
        std::printf("first start until its ahead-of-time cache exists: %.0f ms (created in the "
                    "background, after the first start has ended)\n",
                    untilCached);
    const double on = bench::median(variants[1].endOfMain);
    std::printf("key on / key off: %.2f (target at most 0.50); key on / java -cp: %.2f; "
                "key on / hand-made archive: %.2f\n",
                on / bench::median(variants[0].endOfMain),
                on / bench::median(variants[2].endOfMain),
                on / bench::median(variants[3].endOfMain));
    if (aot)
        std::printf("key on / hand-made AOT cache: %.2f (the launcher keeps the AOT cache here: "
                    "target key on / hand-made archive at most 0.90, key on / key off at most "
                    "0.35)\n",
                    on / bench::median(variants[4].endOfMain));
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
