// One timed run of a program for the start-up benchmarks: when its first line of standard
// output arrives, when it ends, its peak resident set, and whether it printed what it should
// and ended with 0.
#pragma once

#include <algorithm>
#include <chrono>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

struct Sample {
    double firstLineMs = 0;
    double exitMs = 0;
    double peakRssMb = 0;
    bool ok = false;
};

inline double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Starts argv (with this process's environment) with its stdout on a pipe; the pipe's read
// end, or -1 when nothing could be started.
inline int startWithOutputPipe(const std::vector<std::string>& argv, pid_t& pid) {
    int pipeFds[2];
    if (pipe(pipeFds) != 0)
        return -1;
    pid = fork();
    if (pid == 0) {
        dup2(pipeFds[1], STDOUT_FILENO);
        close(pipeFds[0]);
        close(pipeFds[1]);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(pipeFds[1]);
    return pipeFds[0];
}

// Runs argv with stdout on a pipe.
inline Sample measure(const std::vector<std::string>& argv, const std::string& expectedOutput) {
    const Clock::time_point start = Clock::now();
    pid_t pid = 0;
    const int stdoutPipe = startWithOutputPipe(argv, pid);
    if (stdoutPipe < 0)
        return {};
    Sample sample;
    std::string output;
    char buffer[4096];
    for (;;) {
        const ssize_t n = read(stdoutPipe, buffer, sizeof buffer);
        if (n <= 0)
            break;
        if (sample.firstLineMs == 0 &&
            std::string(buffer, static_cast<size_t>(n)).find('\n') != std::string::npos)
            sample.firstLineMs = millisecondsSince(start);
        output.append(buffer, static_cast<size_t>(n));
    }
    close(stdoutPipe);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    sample.exitMs = millisecondsSince(start);
    sample.peakRssMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    sample.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0 && output == expectedOutput;
    return sample;
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

} // namespace bench
