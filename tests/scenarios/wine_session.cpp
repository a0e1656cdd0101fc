// The harness's view of the Wine session: availability, the session's environment, and
// registry setup for scenarios.
#include "harness.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include "process.h"

namespace fs = std::filesystem;

namespace noviq::test {

namespace {

const fs::path kBuildDir = NOVIQ_LINUX_BUILD_DIR;
const fs::path kScripts = fs::path(NOVIQ_SOURCE_DIR) / "tests" / "wine";

bool onPath(const std::string& program) {
    const char* path = getenv("PATH");
    std::string dirs = path ? path : "";
    for (size_t start = 0; start <= dirs.size();) {
        size_t end = dirs.find(':', start);
        if (end == std::string::npos)
            end = dirs.size();
        const fs::path candidate = fs::path(dirs.substr(start, end - start)) / program;
        if (access(candidate.c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

bool runScript(const std::string& script) {
    const detail::ProcessOutcome outcome =
        detail::runProcess({"bash", (kScripts / script).string(), kBuildDir.string()},
                           detail::environmentWith({}), {}, 600);
    if (outcome.started && !outcome.timedOut && WIFEXITED(outcome.status) &&
        WEXITSTATUS(outcome.status) == 0)
        return true;
    fprintf(stderr, "%s failed: %s%s%s\n", script.c_str(), outcome.failure.c_str(),
            outcome.out.c_str(), outcome.err.c_str());
    return false;
}

// Takes the variables from wine-env itself, so the session is described in one place.
bool adoptSessionEnvironment() {
    const detail::ProcessOutcome outcome =
        detail::runProcess({"bash", "-c", ". \"$0\" \"$1\" && env -0",
                            (kScripts / "wine-env").string(), kBuildDir.string()},
                           detail::environmentWith({}), {}, 60);
    if (!outcome.started || outcome.status != 0)
        return false;
    for (size_t start = 0; start < outcome.out.size();) {
        const size_t end = outcome.out.find('\0', start);
        const std::string entry = outcome.out.substr(start, end - start);
        const size_t equals = entry.find('=');
        const std::string name = entry.substr(0, equals);
        if (equals != std::string::npos && (name.starts_with("WINE") || name == "DISPLAY"))
            setenv(name.c_str(), entry.c_str() + equals + 1, 1);
        start = end == std::string::npos ? outcome.out.size() : end + 1;
    }
    return true;
}

void stopOwnSession() {
    runScript("wine-stop");
}

// reg.exe reads a file without a byte-order mark in the ANSI code page, so a version 5 file
// (UTF-16 on Windows) is written as UTF-16LE with BOM to keep non-ASCII text intact.
std::string regFileBytes(const std::string& content) {
    if (!content.starts_with("Windows Registry Editor Version 5.00"))
        return content; // REGEDIT4: ANSI by definition
    std::string out = "\xFF\xFE";
    auto put = [&out](uint32_t unit) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
    };
    for (size_t i = 0; i < content.size();) {
        const auto lead = static_cast<unsigned char>(content[i]);
        const int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        uint32_t code = extra == 0 ? lead : lead & (0x3Fu >> extra);
        for (int k = 1; k <= extra && i + k < content.size(); ++k)
            code = (code << 6) | (static_cast<unsigned char>(content[i + k]) & 0x3Fu);
        i += static_cast<size_t>(extra) + 1;
        if (code >= 0x10000) {
            put(0xD800 + ((code - 0x10000) >> 10));
            put(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            put(code);
        }
    }
    return out;
}

// Under CTest (and after ". wine-env" by hand) WINEPREFIX is set and the session is running.
// A test binary started directly runs its own session for its lifetime.
bool ensureSession() {
    if (getenv("WINEPREFIX"))
        return true;
    if (!fs::exists(kBuildDir / "wine-session")) {
        if (!runScript("wine-start"))
            return false;
        atexit(stopOwnSession);
    }
    return adoptSessionEnvironment();
}

} // namespace

bool wineAvailable() {
    static const bool available =
        onPath("wine") && fs::exists(windowsFixture("winrun.exe")) && ensureSession();
    return available;
}

void importRegistry(const std::string& regFileContent) {
    if (!wineAvailable()) {
        ADD_FAILURE() << "Wine is not available for a registry import";
        return;
    }
    std::string pattern = (fs::temp_directory_path() / "noviq-reg-XXXXXX.reg").string();
    const int fd = mkstemps(pattern.data(), 4);
    if (fd < 0) {
        ADD_FAILURE() << "mkstemps failed for " << pattern;
        return;
    }
    close(fd);
    std::ofstream(pattern, std::ios::binary) << regFileBytes(regFileContent);
    const detail::ProcessOutcome outcome =
        detail::runProcess({"wine", "reg", "import", toWindowsPath(pattern)},
                           detail::environmentWith({}), fs::temp_directory_path(), 60);
    if (!outcome.started || outcome.timedOut || outcome.status != 0)
        ADD_FAILURE() << "wine reg import failed (" << outcome.failure << "):\n"
                      << outcome.out << outcome.err << "\n--- file ---\n"
                      << regFileContent;
    fs::remove(pattern);
}

} // namespace noviq::test
