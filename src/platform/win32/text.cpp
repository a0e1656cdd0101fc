// Windows: conversions in the thread's ANSI code page.
#include "platform/text.h"

#include <cwctype>

#include "platform/win32/windows_api.h"

namespace noviq::platform {

void setThreadLocaleToSystemDefault() {
    SetThreadLocale(GetSystemDefaultLCID());
}

WideString widen(const char* text, int32_t length) {
    if (length <= 0)
        return WideString();
    const int needed = MultiByteToWideChar(CP_THREAD_ACP, 0, text, length, nullptr, 0);
    if (needed <= 0)
        return WideString();
    WideString result;
    MultiByteToWideChar(CP_THREAD_ACP, 0, text, length, win32::w(result.GetBuffer(needed)), needed);
    result.ReleaseBuffer(needed);
    return result;
}

NarrowString narrow(const char16_t* text, int32_t length) {
    if (length <= 0)
        return NarrowString();
    const wchar_t* wide = win32::w(text);
    const int needed =
        WideCharToMultiByte(CP_THREAD_ACP, 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (needed <= 0)
        return NarrowString();
    NarrowString result;
    WideCharToMultiByte(CP_THREAD_ACP, 0, wide, length, result.GetBuffer(needed), needed, nullptr,
                        nullptr);
    result.ReleaseBuffer(needed);
    return result;
}

bool isWideSpace(char16_t c) {
    return std::iswspace(static_cast<wint_t>(c)) != 0;
}

} // namespace noviq::platform
