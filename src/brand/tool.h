// The noviq-brand command: its arguments (UTF-8), file reading, and the output written to a
// temporary file renamed into place, so that OUTPUT is either complete or untouched.
#pragma once

#include <string>
#include <vector>

namespace noviq::brand {

// Runs the command on `args` (without the program name); returns the exit code, having
// printed the one error line, or the usage, to standard error.
int runTool(const std::vector<std::string>& args);

} // namespace noviq::brand
