// What the process was started as: the executable, its folder and INI file, and the
// command-line arguments. Built once, at the start.
#pragma once

#include <optional>

#include "base/basic_string.h"
#include "base/string_list.h"

namespace noviq {

struct ProcessContext {
    WideString executablePath;
    WideString executableFolder; // ends in a separator
    WideString iniPath;          // empty when the executable's name gives none
    StringList arguments;        // after the program name, for Java
    // Runs with rights the user's other programs lack: what they can write is not trusted.
    bool elevated = false;
};

// The INI file of an executable: its path up to and including the last ".", then "ini".
// Where executables may lack an extension, a file name without "." gets ".ini" appended.
// False when the executable's name gives no INI file.
bool iniPathFor(const WideString& executable, WideString& path);

// The arguments after the program name: the system's vector where it has one, otherwise
// the command line split with the launcher's quoting rule.
StringList commandLineArguments();

// Reports and returns nothing when the executable's own path cannot be had.
std::optional<ProcessContext> readProcessContext();

} // namespace noviq
