// Start-up cost of choosing a runtime: reading the settings and the whole search over 50, 500
// and 5000 installed runtimes (folders under a temporary $NOVIQ_JVM_ROOT), every one in range.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include "jre/runtime_search.h"
#include "launcher/settings.h"

namespace {

namespace fs = std::filesystem;

void writeFile(const fs::path& file, const std::string& content) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << content;
}

// A JVM root with `count` runtimes: half JDK-style, half JRE-style versions, all distinct.
class RuntimeFolders {
public:
    explicit RuntimeFolders(int count) {
        root_ = fs::temp_directory_path() /
                ("noviq-bench-" + std::to_string(getpid()) + "-" + std::to_string(count));
        for (int i = 0; i < count; ++i) {
            const std::string version = std::to_string(8 + i % 20) + ".0." + std::to_string(i);
            const fs::path folder = root_ / ("jdk-" + version + "-amd64");
            writeFile(folder / "lib/libjava.so", "");
            writeFile(folder / "lib/server/libjvm.so", "");
            writeFile(folder / "release",
                      "IMPLEMENTOR=\"Bench\"\nJAVA_VERSION=\"" + version + "\"\n");
        }
    }
    ~RuntimeFolders() {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    const fs::path& root() const { return root_; }

private:
    fs::path root_;
};

const RuntimeFolders& foldersFor(int count) {
    static std::map<int, std::unique_ptr<RuntimeFolders>> made;
    auto& slot = made[count];
    if (!slot)
        slot = std::make_unique<RuntimeFolders>(count);
    return *slot;
}

// The launcher reads the INI file beside this program.
fs::path settingsFile() {
    return fs::read_symlink("/proc/self/exe").string() + ".ini";
}

void SettingsAndSearch(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    setenv("NOVIQ_JVM_ROOT", foldersFor(count).root().c_str(), 1);
    size_t found = 0;
    for (auto _ : state) {
        const std::optional<noviq::ProcessContext> context = noviq::readProcessContext();
        const std::optional<noviq::Settings> settings =
            context ? noviq::readSettings(*context) : std::nullopt;
        if (!settings) {
            state.SkipWithError("settings not read");
            break;
        }
        const std::optional<noviq::RuntimeChoice> runtime =
            noviq::findRuntime(settings->runtime, context->executableFolder);
        found += runtime ? 1 : 0;
        benchmark::DoNotOptimize(runtime);
    }
    if (found == 0)
        state.SkipWithError("no runtime found");
    state.SetComplexityN(count);
    state.SetItemsProcessed(state.iterations() * count); // runtimes per second
}

BENCHMARK(SettingsAndSearch)
    ->Arg(50)
    ->Arg(500)
    ->Arg(5000)
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);

// The launcher's own share of a registry scan, without any system call: parsing the version
// subkey names, the range test, the ordering and the choice by "Preferred versions".
void CandidatePolicy(benchmark::State& state) {
    const int count = static_cast<int>(state.range(0));
    std::vector<noviq::WideString> names;
    for (int i = 0; i < count; ++i) {
        const std::string name = "1." + std::to_string(4 + i % 6) + ".0_" + std::to_string(i);
        names.push_back(noviq::WideString(std::u16string(name.begin(), name.end()).c_str()));
    }
    noviq::RuntimeRequest preferences;
    preferences.jvmType = noviq::JvmType::FavorServer;
    preferences.range = noviq::JavaVersionRange(u"1.5", u"any");
    preferences.preferredVersions.add(u"1.6.0_77");
    const noviq::JreSearch search(preferences);
    for (auto _ : state) {
        std::vector<noviq::JreCandidate> candidates;
        for (int i = 0; i < count; ++i) {
            noviq::JreCandidate candidate;
            candidate.version.parse(names[static_cast<size_t>(i)], 0);
            if (!preferences.range.contains(candidate.version))
                continue;
            candidate.homeFolder = names[static_cast<size_t>(i)];
            candidate.isServerVm = i % 3 == 0;
            candidate.isPreferred = i % 2 == 0;
            candidates.push_back(candidate);
        }
        search.sortCandidates(candidates);
        benchmark::DoNotOptimize(&search.selectCandidate(candidates));
    }
    state.SetComplexityN(count);
}

BENCHMARK(CandidatePolicy)
    ->Arg(50)
    ->Arg(500)
    ->Arg(5000)
    ->Unit(benchmark::kMicrosecond)
    ->Complexity(benchmark::oNLogN);

} // namespace

int main(int argc, char** argv) {
    writeFile(settingsFile(), "[Java Runtime Environment]\nMain Class=Main\nMinimum Version=any\n"
                              "Maximum Version=any\n");
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    fs::remove(settingsFile());
    return 0;
}
