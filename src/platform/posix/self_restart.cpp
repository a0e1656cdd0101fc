// Linux: the process replaces itself (execve) with its own executable and argument vector,
// back in the recorded folder with the recorded environment.
#include "platform/self_restart.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <linux/close_range.h>
#include <pthread.h>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

#include "platform/text.h"

extern char** environ;

namespace noviq::platform {

namespace {

std::string gProgram;
std::string gFolder;
std::vector<std::string> gArguments; // the program name first
std::vector<std::string> gEnvironment;

} // namespace

void recordStartState() {
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer))
        gFolder = buffer;
    // The executable's path, not /proc/self/exe: an update that replaced the file starts
    // the new one.
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n > 0)
        gProgram.assign(buffer, static_cast<size_t>(n));
    if (FILE* file = std::fopen("/proc/self/cmdline", "rb")) {
        std::string all;
        size_t read = 0;
        while ((read = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            all.append(buffer, read);
        std::fclose(file);
        for (size_t start = 0; start < all.size();) {
            const size_t end = all.find('\0', start);
            gArguments.push_back(all.substr(start, end - start));
            start = end == std::string::npos ? all.size() : end + 1;
        }
    }
    for (char** entry = environ; entry && *entry; ++entry)
        gEnvironment.emplace_back(*entry);
}

SystemResult<uint32_t> startAgain(const WideString& variable, const WideString& value) {
    std::vector<std::string> entries = gEnvironment;
    entries.push_back(std::string(narrow(variable).c_str()) + "=" + narrow(value).c_str());
    std::vector<char*> environment;
    for (std::string& entry : entries)
        environment.push_back(entry.data());
    environment.push_back(nullptr);
    if (gProgram.empty() || gArguments.empty())
        return SystemResult<uint32_t>::failure(ENOENT);
    std::vector<char*> arguments;
    for (std::string& argument : gArguments)
        arguments.push_back(argument.data());
    arguments.push_back(nullptr);
    if (!gFolder.empty() && chdir(gFolder.c_str()) != 0)
        return SystemResult<uint32_t>::failure(static_cast<uint32_t>(errno));
    // What the JVM opened stays with this image, and its blocked signals with nobody: the
    // new start begins as this one did.
    syscall(SYS_close_range, 3u, ~0u, CLOSE_RANGE_CLOEXEC);
    sigset_t none;
    sigemptyset(&none);
    pthread_sigmask(SIG_SETMASK, &none, nullptr);
    execve(gProgram.c_str(), arguments.data(), environment.data());
    return SystemResult<uint32_t>::failure(static_cast<uint32_t>(errno));
}

void exitProcess(uint32_t code) {
    _exit(static_cast<int>(code));
}

} // namespace noviq::platform
