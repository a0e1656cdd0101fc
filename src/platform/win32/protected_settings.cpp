// Windows: settings only administrators can change, as string values under
// HKEY_LOCAL_MACHINE\Software, always in the 64-bit view so that the x64 launcher and its
// paired 32-bit one remember in one place.
#include "platform/protected_settings.h"

#include <vector>

#include "common/registry_value.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

namespace noviq::platform {

using namespace win32;

std::optional<WideString> readProtectedSetting(const WideString& scope, const WideString& name) {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, w(WideString(u"Software\\") + scope), 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, &raw) != ERROR_SUCCESS)
        return std::nullopt;
    const ScopedRegistryKey key(raw);
    // The key exists: it decides, also without the value (as an existing per-user file does).
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key.get(), w(name), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return WideString();
    std::vector<unsigned char> data(size);
    DWORD read = size;
    if (RegQueryValueExW(key.get(), w(name), nullptr, nullptr, data.data(), &read) != ERROR_SUCCESS)
        return WideString();
    return registryDataText(data.data(), read < size ? read : size);
}

bool writeProtectedSetting(const WideString& scope, const WideString& name,
                           const WideString& value) {
    HKEY raw = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, w(WideString(u"Software\\") + scope), 0, nullptr, 0,
                        KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &raw, nullptr) != ERROR_SUCCESS)
        return false;
    const ScopedRegistryKey key(raw);
    const DWORD bytes = static_cast<DWORD>((value.length() + 1) * sizeof(char16_t));
    return RegSetValueExW(key.get(), w(name), 0, REG_SZ, reinterpret_cast<const BYTE*>(w(value)),
                          bytes) == ERROR_SUCCESS;
}

} // namespace noviq::platform
