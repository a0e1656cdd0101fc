// Folders whose files decide what code a start runs (class data sharing archives): made so
// that no one but their writers can change them, and taken only while that still holds.
// Two kinds of writers: this user (the per-user cache), and administrators (what an elevated
// start uses, since any program of its user could have written the per-user cache).
// Linux: every folder from the root given (for administrators from /) down to the file,
// and the file, belong to the effective uid (root), are writable by no one else and are no
// link (the user's cache folder itself may be one: what it names is checked); folders are
// made 0700. Windows: this user's folders are the profile's and are not checked;
// administrators' folders below the root are owned by SYSTEM or Administrators and made with
// a protected DACL of SYSTEM and Administrators full control (inherited by what is made in
// them), no other account may change a folder or file, and none of them is a reparse point.
#pragma once

#include <cstdint>
#include <optional>

#include "base/basic_string.h"

namespace noviq::platform {

enum class FolderWriters { ThisUser, Administrators };

// The machine-wide folder under which an elevated start keeps such folders. Windows:
// ProgramData as the machine's profile list names it (never from the environment, which the
// user can set); Linux: /var/cache for root. Empty where there is none (a set-uid start that
// is not root, a profile list without the value).
WideString protectedCacheRoot();

// Makes the folders from `root` down to `folder` that are missing; 0 or the system error.
uint32_t createPrivateFolders(const WideString& root, const WideString& folder,
                              FolderWriters writers);

// Why `path` (a folder or file below `root`), or a folder on the way to it, could have been
// written by someone else; nothing when it may be used. A missing path counts as unsafe.
std::optional<WideString> whyNotPrivate(const WideString& root, const WideString& path,
                                        FolderWriters writers);

} // namespace noviq::platform
