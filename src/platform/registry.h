// Read access to the keys under which Java installers register their runtimes
// (HKEY_LOCAL_MACHINE on Windows; on Linux the runtime folders, presented in the same shape).
#pragma once

#include <cstdint>

#include "base/basic_string.h"

namespace noviq::platform {

// Native: the process's own registry view. Wow32: the 32-bit view of a 64-bit system.
enum class RegistryView { Native, Wow32 };

// The machine's keys, or the current user's (where per-user installers register).
enum class RegistryRoot { LocalMachine, CurrentUser };

// Whether this system has the registry at all (Windows); elsewhere every key fails to open.
extern const bool kHasRegistry;

// One open key of the machine-wide registry. Move-only; closes its key once.
class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey();
    RegistryKey(RegistryKey&& other) noexcept;
    RegistryKey& operator=(RegistryKey&& other) noexcept;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Opens the key at `path` (backslash-separated, a trailing backslash allowed) for
    // reading in the given view. False when it cannot be opened.
    bool open(RegistryView view, const WideString& path,
              RegistryRoot root = RegistryRoot::LocalMachine);
    bool isOpen() const { return state_ != nullptr; }

    // The name of the subkey at `index`, in the key's enumeration order. False when the
    // enumeration reports an error, which includes an index past the last subkey.
    bool subkeyName(uint32_t index, WideString& name) const;

    // The data of a value read as UTF-16 text up to its first zero, whatever the value's
    // type. False when the value is missing or cannot be read.
    bool readText(const WideString& valueName, WideString& text) const;

private:
    void close();

    struct State;
    State* state_ = nullptr;
};

} // namespace noviq::platform
