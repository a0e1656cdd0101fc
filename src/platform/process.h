// The launcher's own process: its path, command line, current directory, last-error value,
// system family and the start of another program.
#pragma once

#include <cstdint>
#include <optional>

#include "base/basic_string.h"
#include "base/string_list.h"
#include "platform/system_result.h"

namespace noviq::platform {

// The executable's full path, read into a buffer of 260 characters.
SystemResult<WideString> executablePath();

// The process's command line as one text where the system keeps it (Windows); nothing
// where the program receives an argument vector instead (Linux).
std::optional<WideString> rawCommandLine();
// The argument vector after the program name, where the system provides one.
StringList argumentVector();
// Records the argument vector given to main() on systems that have one.
void setArgumentVector(int argc, char** argv);

uint32_t setCurrentDirectory(const WideString& folder);
WideString currentDirectory();

// This process's id, unique among the running processes.
uint32_t currentProcessId();

uint32_t lastError();
void setLastError(uint32_t code);

// True on the Windows NT family (platform id 2); Linux behaves as that family.
bool isNtFamily();

// The process runs with rights that the user's own other programs lack, so that whatever
// they can write (per-user files and keys, the user's environment) must not decide what it
// loads or writes: Windows, an elevated token (TokenElevation); Linux, an effective uid of
// 0 or one other than the real uid. Read once; a token that cannot be read counts as
// elevated.
bool isElevated();

// Starts `program` with no arguments, no inherited handles, this process's environment and
// current directory. With `wait`, waits for it and returns its exit code; otherwise 0.
SystemResult<uint32_t> startPairedProgram(const WideString& program, bool wait);

// Starts `program` in the background: no arguments, standard streams that lead nowhere, no
// inherited handles, a session (Linux) or no console (Windows) of its own, this process's
// environment with `variable` set to `value`. With `wait`, waits for it and returns its
// exit code; otherwise 0.
SystemResult<uint32_t> startInBackground(const WideString& program, const WideString& variable,
                                         const WideString& value, bool wait);

// Ends the process with `code` at once: no exit handlers, no library clean-up, other threads
// stopped wherever they are (a JVM that does not end when asked, for one).
[[noreturn]] void endProcessNow(uint32_t code);

} // namespace noviq::platform
