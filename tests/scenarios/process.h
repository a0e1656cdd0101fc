// Internal to the harness: one Linux process with separate stdout/stderr and a time limit.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace noviq::test::detail {

struct ProcessOutcome {
    std::string out;
    std::string err;
    int status = 0;       // as from waitpid
    bool started = false; // false: see failure
    bool timedOut = false;
    std::string failure;
};

// argv[0] is searched in PATH when it has no slash; env entries are "NAME=value". The
// process leads its own process group, which is killed as a whole on timeout.
ProcessOutcome runProcess(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                          const std::filesystem::path& workingDirectory, int timeoutSeconds);

// This process's environment changed by entries "NAME=value" (set) and "NAME" (removed).
std::vector<std::string> environmentWith(const std::vector<std::string>& changes);

} // namespace noviq::test::detail
