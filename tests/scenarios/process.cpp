// Runs one Linux process for the harness: pipes for stdout/stderr, a deadline, group kill.
#include "process.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace noviq::test::detail {

namespace {

std::vector<char*> pointers(const std::vector<std::string>& strings) {
    std::vector<char*> out;
    for (const std::string& s : strings)
        out.push_back(const_cast<char*>(s.c_str()));
    out.push_back(nullptr);
    return out;
}

std::string nameOf(const std::string& entry) {
    return entry.substr(0, entry.find('='));
}

} // namespace

std::vector<std::string> environmentWith(const std::vector<std::string>& changes) {
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e)
        env.emplace_back(*e);
    for (const std::string& change : changes) {
        const std::string name = nameOf(change);
        std::erase_if(env, [&](const std::string& entry) { return nameOf(entry) == name; });
        if (change.find('=') != std::string::npos)
            env.push_back(change);
    }
    return env;
}

ProcessOutcome runProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                          const std::filesystem::path& workingDirectory, int timeoutSeconds) {
    ProcessOutcome outcome;
    int outPipe[2], errPipe[2], execPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0 || pipe2(errPipe, O_CLOEXEC) != 0 ||
        pipe2(execPipe, O_CLOEXEC) != 0) {
        outcome.failure = std::string("pipe: ") + strerror(errno);
        return outcome;
    }
    // Everything the child touches is prepared before fork: only async-signal-safe calls after.
    std::vector<char*> args = pointers(argv);
    std::vector<char*> envp = pointers(env);
    const std::string cwd = workingDirectory.string();

    const pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        const int devNull = open("/dev/null", O_RDONLY);
        dup2(devNull, 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        if (cwd.empty() || chdir(cwd.c_str()) == 0)
            execvpe(args[0], args.data(), envp.data());
        const int error = errno;
        (void)!write(execPipe[1], &error, sizeof error);
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    close(execPipe[1]);
    if (pid < 0) {
        outcome.failure = std::string("fork: ") + strerror(errno);
        close(outPipe[0]);
        close(errPipe[0]);
        close(execPipe[0]);
        return outcome;
    }
    setpgid(pid, pid); // also here, so a kill right after fork reaches the group

    int execError = 0;
    const bool execFailed = read(execPipe[0], &execError, sizeof execError) == sizeof execError;
    close(execPipe[0]);
    if (execFailed)
        outcome.failure = "cannot run " + argv[0] + " in " + cwd + ": " + strerror(execError);
    else
        outcome.started = true;

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
    for (pollfd& fd : fds)
        if (fd.fd >= 0)
            close(fd.fd);
    if (!reaped)
        waitpid(pid, &outcome.status, 0);
    return outcome;
}

} // namespace noviq::test::detail
