// Scenario harness: runs the built launcher (natively or under Wine) as a user would and
// captures what it printed and its full exit code.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace noviq::test {

struct RunResult {
    std::string out;
    std::string err;
    uint32_t exitCode = 0; // all 32 bits under Wine; 128+N for a Linux process killed by signal N
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
    // Copies a file, keeping its permissions; creates parent folders.
    std::filesystem::path copy(const std::filesystem::path& from,
                               const std::string& relative) const;
    // Makes uid and gid 65534 the owner of the folder and all it holds, so that a start as
    // that user (setpriv, when the tests run as root) can read and write it.
    void giveToUnprivilegedUser() const;

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
    // Windows runs: on the desktop a user sees, where dialogs show. Otherwise the program runs
    // in a window station of its own that nobody sees, as a service does, and the launcher
    // answers its prompts itself (the not-found text as an error line, an exception lets
    // the run go on).
    bool visibleDesktop = false;
    // Windows runs: with the non-elevated token linked to the session's (every Wine process
    // is elevated otherwise), as a user's own programs run beside an elevated launcher.
    bool notElevated = false;
    std::function<void(int pid)> started; // called once the process exists (Linux runs)
};

std::filesystem::path launcherBinary(Build build);
std::filesystem::path windowsFixture(const std::string& name);
// A file of the 32-bit Windows build: "noviq32.exe", "tests/fixtures/scripted_jvm.dll".
std::filesystem::path windows32File(const std::string& relative);
// The path as a Windows program under Wine sees it (drive Z: is the Linux root).
std::string toWindowsPath(const std::filesystem::path& path);

// Runs exe and waits; stdin is /dev/null. A timeout kills the process group and fails the
// test, as does a Windows run whose exit code winrun.exe did not record. Windows runs and
// importRegistry() need the session that wineAvailable() sets up.
RunResult run(Build build, const std::filesystem::path& exe, const RunOptions& options = {});

// Wine and the Windows build are present. Outside CTest this also starts the Wine session
// (stopped at exit).
bool wineAvailable();
#define NOVIQ_SKIP_WITHOUT_WINE()                                                                  \
    if (!::noviq::test::wineAvailable())                                                           \
    GTEST_SKIP() << "Wine or the Windows build is not available"

// Why Wine's 32-bit half cannot run in this session (this machine cannot execute i386
// programs), or empty where it can. Needs the session that wineAvailable() sets up.
std::string wine32Unavailable();
// For cases that run 32-bit Windows programs; their names hold "Wine32", which gives them a
// CTest test of their own, skipped the same way.
#define NOVIQ_SKIP_WITHOUT_WINE32()                                                                \
    NOVIQ_SKIP_WITHOUT_WINE();                                                                     \
    if (const std::string noviqWine32Reason = ::noviq::test::wine32Unavailable();                  \
        !noviqWine32Reason.empty())                                                                \
    GTEST_SKIP() << "32-bit Windows tests skipped: " << noviqWine32Reason

// Runs one of Wine's own programs ("sc", "reg", ...) in the session; its exit code is only the
// low 8 bits.
RunResult runWineProgram(const std::vector<std::string>& args, int timeoutSeconds = 30);

// Imports a REGEDIT4 file's content into the session's prefix. Keys are shared by every
// test: use names unique to the test.
void importRegistry(const std::string& regedit4);

// Text helpers the scenarios share.
std::string readFile(const std::filesystem::path& file);
std::string replaceAll(std::string text, const std::string& from, const std::string& to);
size_t countOf(const std::string& text, const std::string& part);
// The lines of a file that start with prefix, without it (the scripted runtime's record).
std::vector<std::string> linesStartingWith(const std::filesystem::path& file,
                                           const std::string& prefix);

} // namespace noviq::test
