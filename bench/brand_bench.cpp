// noviq-brand's time to brand one release executable (the stripped noviq.exe of the Windows
// build) with an icon, every version string and manifest settings: the whole command as a
// packager runs it, reading INPUT and the icon and writing OUTPUT. Target: under 20 ms.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "brand/tool.h"

namespace {

namespace fs = std::filesystem;

void BM_BrandOneExecutable(benchmark::State& state) {
    const fs::path dir = fs::temp_directory_path() / "noviq-brand-bench";
    fs::create_directories(dir);
    const std::string input = (dir / "noviq.exe").string(), output = (dir / "myapp.exe").string();
    const std::string strip =
        "x86_64-w64-mingw32-strip -o '" + input + "' '" NOVIQ_BENCH_WINDOWS_EXE "'";
    if (std::system(strip.c_str()) != 0) {
        state.SkipWithError("cannot strip " NOVIQ_BENCH_WINDOWS_EXE " (build the windows preset)");
        return;
    }
    const std::vector<std::string> args = {input,
                                           output,
                                           "--icon",
                                           NOVIQ_BENCH_ICON,
                                           "--company",
                                           "ACME Ltd",
                                           "--product-name",
                                           "My App",
                                           "--description",
                                           "My application",
                                           "--copyright",
                                           "(c) 2026 ACME",
                                           "--file-version",
                                           "2.3.4.5",
                                           "--product-version",
                                           "2.3",
                                           "--execution-level",
                                           "asInvoker",
                                           "--dpi-awareness",
                                           "permonitorv2",
                                           "--long-path-aware"};
    for (auto _ : state) {
        // A new OUTPUT each time, as a packaging run writes it (replacing a file by rename
        // makes some file systems flush the old one first).
        state.PauseTiming();
        fs::remove(output);
        state.ResumeTiming();
        if (noviq::brand::runTool(args) != 0)
            state.SkipWithError("branding failed");
    }
    fs::remove_all(dir);
}
BENCHMARK(BM_BrandOneExecutable)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
