// Running the launcher: natively, or under Wine through winrun.exe for the full exit code.
#include "harness.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include "process.h"

namespace fs = std::filesystem;

namespace noviq::test {

fs::path launcherBinary(Build build) {
    return build == Build::Linux ? fs::path(NOVIQ_LINUX_BUILD_DIR) / "noviq"
                                 : fs::path(NOVIQ_WINDOWS_BUILD_DIR) / "noviq.exe";
}

fs::path windowsFixture(const std::string& name) {
    return fs::path(NOVIQ_WINDOWS_BUILD_DIR) / "tests" / "fixtures" / name;
}

std::string toWindowsPath(const fs::path& path) {
    std::string text = "Z:" + fs::absolute(path).lexically_normal().string();
    for (char& c : text)
        if (c == '/')
            c = '\\';
    return text;
}

namespace {

std::string describe(const fs::path& exe, const detail::ProcessOutcome& outcome) {
    return exe.string() + "\n--- stdout ---\n" + outcome.out + "\n--- stderr ---\n" + outcome.err;
}

// The exit code winrun.exe recorded: eight hex digits; nullopt when it wrote none.
std::optional<uint32_t> readExitFile(const fs::path& file) {
    std::ifstream in(file);
    std::string digits;
    if (!(in >> digits) || digits.size() != 8 ||
        digits.find_first_not_of("0123456789ABCDEF") != std::string::npos)
        return std::nullopt;
    return static_cast<uint32_t>(std::stoul(digits, nullptr, 16));
}

} // namespace

RunResult run(Build build, const fs::path& exe, const RunOptions& options) {
    std::vector<std::string> changes;
    for (const auto& [name, value] : options.env)
        changes.push_back(name + "=" + value);
    std::vector<std::string> argv;
    fs::path exitFile;

    if (build == Build::Linux) {
        if (options.windowsCommandLine)
            ADD_FAILURE() << "windowsCommandLine is for Windows runs only";
        argv.push_back(exe.string());
    } else {
        if (!wineAvailable()) {
            ADD_FAILURE() << "Wine or the Windows build is not available";
            return {};
        }
        std::string pattern = (fs::temp_directory_path() / "noviq-exit-XXXXXX").string();
        const int fd = mkstemp(pattern.data());
        if (fd < 0) {
            ADD_FAILURE() << "mkstemp failed for " << pattern;
            return {};
        }
        close(fd);
        exitFile = pattern;
        // Set, or removed so that an inherited value cannot change the quoting.
        changes.push_back(options.windowsCommandLine
                              ? "WINRUN_COMMAND_LINE=" + *options.windowsCommandLine
                              : "WINRUN_COMMAND_LINE");
        argv = {"wine", windowsFixture("winrun.exe").string(), toWindowsPath(exitFile),
                toWindowsPath(exe)};
    }
    argv.insert(argv.end(), options.args.begin(), options.args.end());

    const fs::path cwd =
        options.workingDirectory.empty() ? exe.parent_path() : options.workingDirectory;
    const detail::ProcessOutcome outcome =
        detail::runProcess(argv, detail::environmentWith(changes), cwd, options.timeoutSeconds);

    RunResult result{outcome.out, outcome.err, 0, outcome.timedOut};
    if (!outcome.started)
        ADD_FAILURE() << outcome.failure;
    else if (outcome.timedOut)
        ADD_FAILURE() << "no end within " << options.timeoutSeconds
                      << " s (process group killed): " << describe(exe, outcome);
    if (WIFEXITED(outcome.status))
        result.exitCode = static_cast<uint32_t>(WEXITSTATUS(outcome.status));
    else if (WIFSIGNALED(outcome.status))
        result.exitCode = 128u + static_cast<uint32_t>(WTERMSIG(outcome.status));

    if (build == Build::Windows) {
        const std::optional<uint32_t> code = readExitFile(exitFile);
        if (code)
            result.exitCode = *code;
        else if (outcome.started && !outcome.timedOut)
            ADD_FAILURE() << "winrun.exe recorded no exit code for " << describe(exe, outcome);
        std::error_code ignored;
        fs::remove(exitFile, ignored);
    }
    return result;
}

} // namespace noviq::test
