// Windows: the system's profile-string interface.
#include "platform/profile.h"

#include "platform/win32/windows_api.h"

namespace noviq::platform {

using namespace win32;

int32_t readProfileString(const WideString& section, const WideString& key, char16_t* buffer,
                          int32_t size, const WideString& path) {
    return static_cast<int32_t>(GetPrivateProfileStringW(w(section), w(key), L"", w(buffer),
                                                         static_cast<DWORD>(size), w(path)));
}

bool writeProfileString(const WideString& section, const WideString& key, const WideString& value,
                        const WideString& path) {
    return WritePrivateProfileStringW(w(section), w(key), w(value), w(path)) != 0;
}

} // namespace noviq::platform
