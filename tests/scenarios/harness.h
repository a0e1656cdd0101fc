// Scenario harness: runs the built launcher (natively or under Wine) as a user would and
// captures what it printed and its full exit code.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace noviq::test {

struct RunResult {
    std::string out;
    std::string err;
    uint32_t exitCode = 0; // all 32 bits under Wine; 128+N for a Linux process killed by signal N
    bool timedOut = false; // also reported as a test failure
};

// A fresh temporary folder, removed on destruction unless NOVIQ_KEEP_SCENARIOS is set.
class ScenarioDir {
public:
    ScenarioDir();
    ~ScenarioDir();
    ScenarioDir(const ScenarioDir&) = delete;
    ScenarioDir& operator=(const ScenarioDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Both are const: they change the folder's content, not which folder this is.
    // Writes the bytes exactly as given (no line-ending changes); creates parent folders.
    std::filesystem::path write(const std::string& relative, const std::string& content) const;
    // Copies a file (keeping its permissions) or a whole folder; creates parent folders.
    std::filesystem::path copy(const std::filesystem::path& from,
                               const std::string& relative) const;

private:
    std::filesystem::path path_;
};

enum class Build { Linux, Windows };

struct RunOptions {
    std::vector<std::string> args;
    std::optional<std::string> windowsCommandLine; // the child's whole command line, verbatim
    std::filesystem::path workingDirectory;        // empty: the executable's folder
    std::vector<std::pair<std::string, std::string>> env; // added to (or replacing) ours
    int timeoutSeconds = 60;
};

std::filesystem::path launcherBinary(Build build);
std::filesystem::path windowsFixture(const std::string& name);
// The path as a Windows program under Wine sees it (drive Z: is the Linux root).
std::string toWindowsPath(const std::filesystem::path& path);

// Runs exe and waits; stdin is /dev/null. Failures of the harness itself (cannot start,
// timeout, no exit code) are reported as test failures.
RunResult run(Build build, const std::filesystem::path& exe, const RunOptions& options = {});

// Wine and the Windows build are present. Outside CTest this also starts the Wine session
// (stopped at exit). Wine tests call GTEST_SKIP() when it is false.
bool wineAvailable();

// Imports a .reg file's content (REGEDIT4 or "Windows Registry Editor Version 5.00") into
// the session's prefix. Keys are shared by every test: use names unique to the test.
void importRegistry(const std::string& regFileContent);

} // namespace noviq::test
