// Linux: the launcher's own process.
#include "platform/process.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "platform/text.h"

extern char** environ;

namespace noviq::platform {

namespace {
// Kept as bytes and decoded when asked for, once the locale has been set.
int gArgc = 0;
char** gArgv = nullptr;
thread_local uint32_t tLastError = 0;

// What posix_spawn's result gives: its error, or the child's exit code when waited for (a
// signal's as a shell reports it).
SystemResult<uint32_t> spawned(int rc, pid_t pid, bool wait) {
    if (rc != 0)
        return SystemResult<uint32_t>::failure(static_cast<uint32_t>(rc));
    if (!wait)
        return 0u;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status))
        return static_cast<uint32_t>(WEXITSTATUS(status));
    return static_cast<uint32_t>(128 + WTERMSIG(status));
}
} // namespace

SystemResult<WideString> executablePath() {
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (n <= 0 || n >= static_cast<ssize_t>(sizeof buffer)) { // a full buffer may be cut
        const uint32_t error =
            n <= 0 ? static_cast<uint32_t>(errno) : static_cast<uint32_t>(ENAMETOOLONG);
        setLastError(error);
        return SystemResult<WideString>::failure(error);
    }
    return widen(NarrowString(buffer, static_cast<int32_t>(n)));
}

std::optional<WideString> rawCommandLine() {
    return std::nullopt;
}

StringList argumentVector() {
    StringList arguments;
    for (int i = 1; i < gArgc; ++i)
        arguments.add(widen(gArgv[i]));
    return arguments;
}

void setArgumentVector(int argc, char** argv) {
    gArgc = argc;
    gArgv = argv;
}

uint32_t setCurrentDirectory(const WideString& folder) {
    if (chdir(narrow(folder).c_str()) == 0)
        return 0;
    setLastError(static_cast<uint32_t>(errno));
    return static_cast<uint32_t>(errno);
}

WideString currentDirectory() {
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof buffer) ? widen(buffer) : WideString();
}

uint32_t currentProcessId() {
    return static_cast<uint32_t>(getpid());
}

uint32_t lastError() {
    return tLastError;
}
void setLastError(uint32_t code) {
    tLastError = code;
}

bool isNtFamily() {
    return true;
}

bool isElevated() {
    static const bool elevated = geteuid() == 0 || geteuid() != getuid();
    return elevated;
}

SystemResult<uint32_t> startPairedProgram(const WideString& program, bool wait) {
    const NarrowString path = narrow(program);
    std::vector<char*> argv{const_cast<char*>(path.c_str()), nullptr};
    // Only the standard three descriptors reach the child, also those the launcher's own
    // parent left open without close-on-exec.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return spawned(rc, pid, wait);
}

SystemResult<uint32_t> startInBackground(const WideString& program, const WideString& variable,
                                         const WideString& value, bool wait) {
    const NarrowString path = narrow(program);
    const std::string prefix = std::string(narrow(variable).c_str()) + "=";
    const std::string setting = prefix + narrow(value).c_str();
    std::vector<char*> env;
    for (char** entry = environ; *entry; ++entry)
        if (std::string(*entry).compare(0, prefix.size(), prefix) != 0)
            env.push_back(*entry);
    env.push_back(const_cast<char*>(setting.c_str()));
    env.push_back(nullptr);
    std::vector<char*> argv{const_cast<char*>(path.c_str()), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd = 0; fd < 3; ++fd)
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY,
                                         0);
    posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    // A session of its own: the terminal's hang-up and the job's signals are not its own.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, path.c_str(), &actions, &attributes, argv.data(), env.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    return spawned(rc, pid, wait);
}

[[noreturn]] void endProcessNow(uint32_t code) {
    _exit(static_cast<int>(code));
}

} // namespace noviq::platform
