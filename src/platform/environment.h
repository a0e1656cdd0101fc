// The process environment.
#pragma once

#include <cstdint>
#include <optional>

#include "base/basic_string.h"

namespace noviq::platform {

// The value of a variable read into a buffer of `bufferSize` characters; nothing when it
// is not set or does not fit.
std::optional<WideString> environmentVariable(const WideString& name, int32_t bufferSize);
// The whole value, however long; nothing when the variable is not set.
std::optional<WideString> wholeEnvironmentVariable(const WideString& name);
bool setEnvironmentVariable(const WideString& name, const WideString& value);
bool removeEnvironmentVariable(const WideString& name);

// Replaces %NAME% references by the variables' values; an undefined reference stays as
// written. Nothing when the system call fails.
std::optional<WideString> expandEnvironmentStrings(const WideString& text);

// The folder under which per-user INI files live: %APPDATA% on Windows (read into 260
// characters, empty when unset); $XDG_CONFIG_HOME, else $HOME/.config, on Linux.
WideString perUserConfigFolder();

// The folder for per-user data that may be thrown away and made again: %LOCALAPPDATA% on
// Windows (read into 260 characters, empty when unset); $XDG_CACHE_HOME, else
// $HOME/.cache, on Linux.
WideString perUserCacheFolder();

} // namespace noviq::platform
