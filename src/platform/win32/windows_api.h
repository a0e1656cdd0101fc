// The one place that includes the Windows headers, plus the char16_t <-> wchar_t bridge
// (both are UTF-16 on Windows).
#pragma once

#include <windows.h>

#include "common/basic_string.h"

namespace noviq::platform::win32 {

inline const wchar_t* w(const WideString& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
inline const wchar_t* w(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }
inline wchar_t* w(char16_t* s) { return reinterpret_cast<wchar_t*>(s); }
inline const char16_t* u(const wchar_t* s) { return reinterpret_cast<const char16_t*>(s); }
inline WideString str(const wchar_t* s) { return WideString(u(s)); }
inline WideString str(const wchar_t* s, int32_t n) { return WideString(u(s), n); }

// Move-only owner of a kernel HANDLE; closes it once. Keeps the last-error value intact.
class ScopedHandle {
public:
    ScopedHandle() = default;
    explicit ScopedHandle(HANDLE h) : handle_(h == INVALID_HANDLE_VALUE ? nullptr : h) {}
    ~ScopedHandle() { reset(); }
    ScopedHandle(ScopedHandle&& o) noexcept : handle_(o.release()) {}
    ScopedHandle& operator=(ScopedHandle&& o) noexcept {
        if (this != &o) {
            reset();
            handle_ = o.release();
        }
        return *this;
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    HANDLE release() {
        HANDLE h = handle_;
        handle_ = nullptr;
        return h;
    }
    void reset() {
        if (handle_) {
            const DWORD saved = GetLastError();
            CloseHandle(handle_);
            SetLastError(saved);
            handle_ = nullptr;
        }
    }

private:
    HANDLE handle_ = nullptr;
};

} // namespace noviq::platform::win32
