// Settings that only administrators (root) can change: where an elevated start remembers
// what its user chose, since the per-user files could have been written by any program of
// that user. A scope is "<product>\<code>\<program>" (the path separator of the system).
// Windows: HKEY_LOCAL_MACHINE\Software\<scope>, one string value per name, in the 64-bit
// view that both launchers of a pair share. Linux: [Settings] in /var/lib/noviq/<scope>.ini,
// used only where the file and every folder above it belong to root and no one else can
// write them; other elevated starts (set-uid to another user) remember nothing.
#pragma once

#include <optional>

#include "base/basic_string.h"

namespace noviq::platform {

// The value, also an empty one; nothing where the store holds none or is not safe.
std::optional<WideString> readProtectedSetting(const WideString& scope, const WideString& name);

// Stores the value, making the key or folders as needed; false when that cannot be done.
bool writeProtectedSetting(const WideString& scope, const WideString& name,
                           const WideString& value);

} // namespace noviq::platform
