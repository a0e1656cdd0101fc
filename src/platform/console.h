// The process's standard output and error, as the launcher's error lines use them.
#pragma once

#include <cstdint>
#include <optional>

#include "base/basic_string.h"

namespace noviq::platform {

// Writes bytes to standard output through the C runtime (text mode on Windows, so "\n"
// leaves as CR LF) and flushes; failures are ignored.
void writeStandardOutput(const char* bytes, int32_t length);
// The same for standard error.
void writeStandardError(const char* bytes, int32_t length);

// Whether a C stream the JVM hands to its print hook is its standard output (anything else
// counts as its standard error). The JVM's C runtime may not be the launcher's own.
bool isJvmStandardOutput(const void* cStream);

// From now on standard output and error lead nowhere, also for libraries loaded later and
// the JVM they host (a windowed program has no console to show them on).
void discardStandardOutputAndError();

// Standard input and standard error are both terminals: someone can answer a question.
bool isInteractive();

// One line from standard input, without its line end; nothing at the end of input.
std::optional<NarrowString> readStandardInputLine();

} // namespace noviq::platform
