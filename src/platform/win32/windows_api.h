// The one place that includes the Windows headers, plus the char16_t <-> wchar_t bridge
// (both are UTF-16 on Windows).
#pragma once

#include <windows.h>
// After windows.h: the security calls of advapi32 (object descriptors, SDDL).
#include <aclapi.h>
#include <sddl.h>

#include "base/basic_string.h"

namespace noviq::platform::win32 {

inline const wchar_t* w(const WideString& s) {
    return reinterpret_cast<const wchar_t*>(s.c_str());
}
inline const wchar_t* w(const char16_t* s) {
    return reinterpret_cast<const wchar_t*>(s);
}
inline wchar_t* w(char16_t* s) {
    return reinterpret_cast<wchar_t*>(s);
}
inline const char16_t* u(const wchar_t* s) {
    return reinterpret_cast<const char16_t*>(s);
}
inline WideString str(const wchar_t* s) {
    return WideString(u(s));
}
inline WideString str(const wchar_t* s, int32_t n) {
    return WideString(u(s), n);
}

} // namespace noviq::platform::win32
