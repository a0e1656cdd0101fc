// Windows: the process environment.
#include "platform/environment.h"

#include "platform/win32/windows_api.h"

namespace noviq::platform {

using namespace win32;

std::optional<WideString> environmentVariable(const WideString& name, int32_t bufferSize) {
    WideString value;
    // A variable that is set but empty also returns 0, without touching the last error.
    SetLastError(0);
    const DWORD n = GetEnvironmentVariableW(w(name), w(value.GetBuffer(bufferSize)),
                                            static_cast<DWORD>(bufferSize));
    if (n == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) {
        value.ReleaseBuffer(0);
        return std::nullopt;
    }
    if (n >= static_cast<DWORD>(bufferSize)) {
        value.ReleaseBuffer(0);
        return std::nullopt;
    }
    value.ReleaseBuffer(static_cast<int32_t>(n));
    return value;
}

std::optional<WideString> wholeEnvironmentVariable(const WideString& name) {
    SetLastError(0);
    const DWORD needed = GetEnvironmentVariableW(w(name), nullptr, 0);
    if (needed == 0)
        return GetLastError() == ERROR_ENVVAR_NOT_FOUND ? std::nullopt
                                                        : std::optional<WideString>(WideString());
    return environmentVariable(name, static_cast<int32_t>(needed));
}

bool setEnvironmentVariable(const WideString& name, const WideString& value) {
    return SetEnvironmentVariableW(w(name), w(value)) != 0;
}

bool removeEnvironmentVariable(const WideString& name) {
    return SetEnvironmentVariableW(w(name), nullptr) != 0;
}

std::optional<WideString> expandEnvironmentStrings(const WideString& text) {
    const DWORD needed = ExpandEnvironmentStringsW(w(text), nullptr, 0);
    if (needed == 0)
        return std::nullopt;
    WideString result;
    const DWORD n = ExpandEnvironmentStringsW(
        w(text), w(result.GetBuffer(static_cast<int32_t>(needed))), needed);
    if (n == 0 || n > needed) {
        result.ReleaseBuffer(0);
        return std::nullopt;
    }
    result.ReleaseBuffer(); // cut at the first NUL
    return result;
}

WideString perUserConfigFolder() {
    auto value = environmentVariable(u"APPDATA", MAX_PATH);
    return value ? *value : WideString();
}

WideString perUserCacheFolder() {
    auto value = environmentVariable(u"LOCALAPPDATA", MAX_PATH);
    return value ? *value : WideString();
}

} // namespace noviq::platform
