// The scenario harness: scenario folders, one Linux process at a time (separate stdout and
// stderr, a deadline, a group kill), the launcher run natively or through winrun.exe under
// Wine, and the Wine session with its registry.
#include "harness.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace noviq::test {

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

size_t countOf(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

std::vector<std::string> linesStartingWith(const fs::path& file, const std::string& prefix) {
    std::vector<std::string> found;
    std::istringstream lines(readFile(file));
    for (std::string line; std::getline(lines, line);)
        if (line.rfind(prefix, 0) == 0)
            found.push_back(line.substr(prefix.size()));
    return found;
}

ScenarioDir::ScenarioDir() {
    std::string pattern = (fs::temp_directory_path() / "noviq-scenario-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed for " + pattern);
    path_ = pattern;
}

ScenarioDir::~ScenarioDir() {
    if (getenv("NOVIQ_KEEP_SCENARIOS")) {
        fprintf(stderr, "scenario folder kept: %s\n", path_.c_str());
        return;
    }
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

fs::path ScenarioDir::write(const std::string& relative, const std::string& content) const {
    const fs::path target = path_ / relative;
    fs::create_directories(target.parent_path());
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    if (!out)
        ADD_FAILURE() << "cannot write " << target;
    return target;
}

void ScenarioDir::giveToUnprivilegedUser() const {
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(path_))
        lchown(entry.path().c_str(), 65534, 65534);
    lchown(path_.c_str(), 65534, 65534);
}

fs::path ScenarioDir::copy(const fs::path& from, const std::string& relative) const {
    const fs::path target = path_ / relative;
    fs::create_directories(target.parent_path());
    fs::copy_file(from, target, fs::copy_options::overwrite_existing);
    return target;
}

fs::path launcherBinary(Build build) {
    return build == Build::Linux ? fs::path(NOVIQ_LINUX_BUILD_DIR) / "noviq"
                                 : fs::path(NOVIQ_WINDOWS_BUILD_DIR) / "noviq.exe";
}

fs::path windowsFixture(const std::string& name) {
    return fs::path(NOVIQ_WINDOWS_BUILD_DIR) / "tests" / "fixtures" / name;
}

fs::path windows32File(const std::string& relative) {
    return fs::path(NOVIQ_WINDOWS32_BUILD_DIR) / relative;
}

std::string toWindowsPath(const fs::path& path) {
    std::string text = "Z:" + fs::absolute(path).lexically_normal().string();
    std::replace(text.begin(), text.end(), '/', '\\');
    return text;
}

namespace {

struct Outcome {
    std::string out;
    std::string err;
    int status = 0;        // as from waitpid
    bool timedOut = false; // the process group was killed at the deadline
};

bool succeeded(const Outcome& outcome) {
    return !outcome.timedOut && WIFEXITED(outcome.status) && WEXITSTATUS(outcome.status) == 0;
}

// argv[0] is searched in PATH when it has no slash. `changes` apply to our environment:
// "NAME=value" sets, "NAME" removes. The process leads its own group, killed as a whole at
// the deadline; stdin is /dev/null.
Outcome runProcess(const std::vector<std::string>& argv, const std::vector<std::string>& changes,
                   const fs::path& workingDirectory, int timeoutSeconds,
                   const std::function<void(int)>& started = {}) {
    const auto nameOf = [](const std::string& entry) { return entry.substr(0, entry.find('=')); };
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        env.emplace_back(*e);
    for (const std::string& change : changes) {
        std::erase_if(env,
                      [&](const std::string& entry) { return nameOf(entry) == nameOf(change); });
        if (change.find('=') != std::string::npos)
            env.push_back(change);
    }
    std::vector<char*> args, envp;
    for (const std::string& s : argv)
        args.push_back(const_cast<char*>(s.c_str()));
    for (const std::string& s : env)
        envp.push_back(const_cast<char*>(s.c_str()));
    args.push_back(nullptr);
    envp.push_back(nullptr);

    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("pipe: ") + strerror(errno));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    if (!workingDirectory.empty())
        posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.c_str());
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP); // group 0: a new one
    pid_t pid = 0;
    const int error = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (error == 0 && started)
        started(pid);
    close(outPipe[1]);
    close(errPipe[1]);
    if (error != 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        throw std::runtime_error("cannot run " + argv[0] + " in " + workingDirectory.string() +
                                 ": " + strerror(error));
    }

    Outcome outcome;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&outcome.out, &outcome.err};
    bool reaped = false;
    // Done when the process has ended and both pipes are closed (by it and its descendants).
    while (!reaped || fds[0].fd >= 0 || fds[1].fd >= 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            outcome.timedOut = true;
            kill(-pid, SIGKILL);
            break;
        }
        const int wait = static_cast<int>(std::min<long long>(left.count(), reaped ? 1000 : 20));
        if (poll(fds, 2, wait) > 0) {
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || fds[i].revents == 0)
                    continue;
                char buffer[4096];
                const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
                if (n > 0) {
                    sinks[i]->append(buffer, static_cast<size_t>(n));
                } else if (n == 0 || errno != EINTR) {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                }
            }
        }
        if (!reaped && waitpid(pid, &outcome.status, WNOHANG) == pid)
            reaped = true;
    }
    for (const pollfd& fd : fds)
        if (fd.fd >= 0)
            close(fd.fd);
    if (!reaped)
        waitpid(pid, &outcome.status, 0);
    return outcome;
}

// A new empty file in the temporary folder; the caller removes it.
fs::path scratchFile(const std::string& suffix) {
    std::string pattern = (fs::temp_directory_path() / "noviq-XXXXXX").string() + suffix;
    const int fd = mkstemps(pattern.data(), static_cast<int>(suffix.size()));
    if (fd < 0)
        throw std::runtime_error("mkstemps failed for " + pattern);
    close(fd);
    return pattern;
}

} // namespace

RunResult run(Build build, const fs::path& exe, const RunOptions& options) {
    std::vector<std::string> changes;
    for (const auto& [name, value] : options.env)
        changes.push_back(name + "=" + value);
    std::vector<std::string> argv = {exe.string()};
    fs::path exitFile;
    if (build == Build::Windows) {
        exitFile = scratchFile(".exit");
        // Set, or removed so that an inherited value cannot change the quoting.
        changes.push_back(options.windowsCommandLine
                              ? "WINRUN_COMMAND_LINE=" + *options.windowsCommandLine
                              : "WINRUN_COMMAND_LINE");
        changes.push_back(options.visibleDesktop ? "WINRUN_DESKTOP"
                                                 : "WINRUN_DESKTOP=noviq-unseen\\Default");
        changes.push_back(options.notElevated ? "WINRUN_UNELEVATED=1" : "WINRUN_UNELEVATED");
        argv = {"wine", windowsFixture("winrun.exe").string(), toWindowsPath(exitFile),
                toWindowsPath(exe)};
    }
    argv.insert(argv.end(), options.args.begin(), options.args.end());
    // Under load, Wine now and then fails to start winrun.exe's child at all (no exit code,
    // nothing printed): such a run, and only such a run, is tried once more.
    for (int attempt = 1;; ++attempt) {
        const Outcome outcome = runProcess(
            argv, changes,
            options.workingDirectory.empty() ? exe.parent_path() : options.workingDirectory,
            options.timeoutSeconds, options.started);

        const std::string described =
            exe.string() + "\n--- stdout ---\n" + outcome.out + "\n--- stderr ---\n" + outcome.err;
        if (outcome.timedOut)
            ADD_FAILURE() << "no end within " << options.timeoutSeconds
                          << " s (process group killed): " << described;
        RunResult result{outcome.out, outcome.err, 0};
        if (WIFEXITED(outcome.status))
            result.exitCode = static_cast<uint32_t>(WEXITSTATUS(outcome.status));
        else if (WIFSIGNALED(outcome.status))
            result.exitCode = 128u + static_cast<uint32_t>(WTERMSIG(outcome.status));
        if (build != Build::Windows)
            return result;

        // winrun.exe writes the code as eight hex digits, or nothing when the child did not run.
        std::string digits;
        std::ifstream(exitFile) >> digits;
        std::error_code ignored;
        fs::remove(exitFile, ignored);
        if (digits.size() == 8 &&
            digits.find_first_not_of("0123456789ABCDEF") == std::string::npos) {
            result.exitCode = static_cast<uint32_t>(std::stoul(digits, nullptr, 16));
            return result;
        }
        if (!outcome.timedOut && attempt == 1 && outcome.out.empty() && outcome.err.empty()) {
            std::fprintf(stderr, "winrun.exe recorded no exit code for %s; running it again\n",
                         exe.string().c_str());
            continue;
        }
        if (!outcome.timedOut)
            ADD_FAILURE() << "winrun.exe recorded no exit code for " << described;
        return result;
    }
}

// ---- The Wine session ----

namespace {

const fs::path kScripts = fs::path(NOVIQ_SOURCE_DIR) / "tests" / "wine";

bool runScript(const std::string& script) {
    const Outcome outcome =
        runProcess({"bash", (kScripts / script).string(), NOVIQ_LINUX_BUILD_DIR}, {}, {}, 600);
    if (!succeeded(outcome))
        fprintf(stderr, "%s failed:\n%s%s\n", script.c_str(), outcome.out.c_str(),
                outcome.err.c_str());
    return succeeded(outcome);
}

// Takes the variables from wine-env itself, so the session is described in one place.
bool adoptSessionEnvironment() {
    const Outcome outcome = runProcess({"bash", "-c", ". \"$0\" \"$1\" && env -0",
                                        (kScripts / "wine-env").string(), NOVIQ_LINUX_BUILD_DIR},
                                       {}, {}, 60);
    if (!succeeded(outcome))
        return false;
    std::istringstream entries(outcome.out);
    for (std::string entry; std::getline(entries, entry, '\0');) {
        const size_t equals = entry.find('=');
        const std::string name = entry.substr(0, equals);
        if (equals != std::string::npos && (name.starts_with("WINE") || name == "DISPLAY" ||
                                            name == "PATH" || name == "NOVIQ_WINE32_SKIP"))
            setenv(name.c_str(), entry.c_str() + equals + 1, 1);
    }
    return true;
}

// Under CTest (and after ". wine-env" by hand) WINEPREFIX is set and the session is running.
// A test binary started directly runs its own session for its lifetime.
bool ensureSession() {
    if (getenv("WINEPREFIX"))
        return true;
    if (!fs::exists(fs::path(NOVIQ_LINUX_BUILD_DIR) / "wine-session")) {
        if (!runScript("wine-start"))
            return false;
        atexit([] { runScript("wine-stop"); });
    }
    return adoptSessionEnvironment();
}

} // namespace

bool wineAvailable() {
    static const bool available = system("command -v wine >/dev/null") == 0 &&
                                  fs::exists(windowsFixture("winrun.exe")) && ensureSession();
    return available;
}

std::string wine32Unavailable() {
    const char* reason = getenv("NOVIQ_WINE32_SKIP");
    return reason ? reason : "the Wine session did not say whether 32-bit programs run";
}

RunResult runWineProgram(const std::vector<std::string>& args, int timeoutSeconds) {
    std::vector<std::string> argv = {"wine"};
    argv.insert(argv.end(), args.begin(), args.end());
    const Outcome outcome = runProcess(argv, {}, fs::temp_directory_path(), timeoutSeconds);
    if (outcome.timedOut)
        ADD_FAILURE() << "wine " << args[0] << " did not end within " << timeoutSeconds << " s";
    return {outcome.out, outcome.err,
            WIFEXITED(outcome.status) ? static_cast<uint32_t>(WEXITSTATUS(outcome.status)) : 0};
}

void importRegistry(const std::string& regedit4) {
    const fs::path file = scratchFile(".reg");
    std::ofstream(file, std::ios::binary) << regedit4;
    const Outcome outcome = runProcess({"wine", "reg", "import", toWindowsPath(file), "/reg:64"},
                                       {}, fs::temp_directory_path(), 60);
    fs::remove(file);
    if (!succeeded(outcome))
        ADD_FAILURE() << "wine reg import failed:\n"
                      << outcome.out << outcome.err << "\n--- file ---\n"
                      << regedit4;
}

} // namespace noviq::test
