// Windows: the names of the single-instance objects and who may have made them. Any process
// of the session can create a named object first, so the objects carry a descriptor of their
// own (this token's owner, access for this user and SYSTEM, this process's integrity label),
// and an existing object is used only when its owner and label say that it was made by a
// start at least as trusted as this one.
#pragma once

#include <vector>

#include "base/basic_string.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

namespace noviq::platform::win32 {

// The base of the object names: the executable's final path (links and 8.3 names resolved),
// upper-case, backslashes as "_" (kernel object names are case-sensitive and may not hold a
// backslash).
WideString instanceBaseName(const WideString& executablePath);

class InstanceObjectSecurity {
public:
    // Reads this process's token and builds the descriptor; false when that cannot be done
    // (there is then nothing to compare an existing object with either).
    bool prepare();

    // For the creating calls; valid after prepare().
    SECURITY_ATTRIBUTES* attributes() { return &attributes_; }

    // Why the existing object behind `object` is not to be trusted, or the empty string.
    WideString distrust(HANDLE object) const;

private:
    std::vector<unsigned char> owner_; // the token's default owner (TokenOwner)
    DWORD level_ = 0;                  // the integrity level's RID
    ScopedLocalMemory descriptor_;
    SECURITY_ATTRIBUTES attributes_{};
};

} // namespace noviq::platform::win32
