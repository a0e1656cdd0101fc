// Starting this executable again as it was started: the same arguments, the current folder
// and the environment it had before the launcher changed them.
#pragma once

#include <cstdint>

#include "base/basic_string.h"
#include "platform/system_result.h"

namespace noviq::platform {

// Records the current folder and the environment (and, on Linux, the executable's path and
// the argument vector); called once, before anything changes them.
void recordStartState();

// Starts the executable again with the recorded folder and environment, plus `variable`
// set to `value`. Windows: a new process with the same command line, waited for; returns
// its exit code. Linux: the process becomes the new start (execve) and the call returns
// only with the error.
SystemResult<uint32_t> startAgain(const WideString& variable, const WideString& value);

// Ends the process at once with the code, also from inside the JVM's exit hook.
[[noreturn]] void exitProcess(uint32_t code);

} // namespace noviq::platform
