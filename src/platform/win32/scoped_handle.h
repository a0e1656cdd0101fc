// One move-only owner for every kind of Win32 handle the platform layer opens, so each is
// closed exactly once on every path, plus the traits that say how each kind is closed and
// which values mean "nothing owned".
#pragma once

#include <utility>

#include "platform/win32/windows_api.h"

namespace noviq::platform::win32 {

// Traits provide:
//   using Handle = ...;                    the raw handle type
//   static Handle empty();                 the value held when nothing is owned
//   static bool isValid(Handle);           false for every failure value of the opening call
//   static void close(Handle);             releases a valid handle
template <class Traits> class ScopedHandle {
public:
    using Handle = typename Traits::Handle;

    ScopedHandle() = default;
    explicit ScopedHandle(Handle handle) : handle_(handle) {}
    ~ScopedHandle() { reset(); }
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.release()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;

    Handle get() const { return handle_; }
    bool isValid() const { return Traits::isValid(handle_); }
    explicit operator bool() const { return isValid(); }

    // Gives up ownership without closing.
    Handle release() { return std::exchange(handle_, Traits::empty()); }

    // Closes what is owned (if anything) and takes `handle` instead. Callers report the
    // error of the call that failed before the clean-up ran, so closing keeps the thread's
    // last-error value as it was.
    void reset(Handle handle = Traits::empty()) {
        const Handle old = std::exchange(handle_, handle);
        if (Traits::isValid(old)) {
            const DWORD saved = GetLastError();
            Traits::close(old);
            SetLastError(saved);
        }
    }

private:
    Handle handle_ = Traits::empty();
};

// Kernel objects: files, mappings, processes, threads. Creation calls disagree on how they
// fail (CreateFileW with INVALID_HANDLE_VALUE, most others with NULL), so both mean "none".
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle empty() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void close(Handle h) { CloseHandle(h); }
};

// FindFirstFileW searches.
struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle empty() { return INVALID_HANDLE_VALUE; }
    static bool isValid(Handle h) { return h != INVALID_HANDLE_VALUE; }
    static void close(Handle h) { FindClose(h); }
};

// Keys opened with RegOpenKeyExW.
struct RegistryKeyTraits {
    using Handle = HKEY;
    static Handle empty() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void close(Handle h) { RegCloseKey(h); }
};

// Views from MapViewOfFile.
struct MappedViewTraits {
    using Handle = const void*;
    static Handle empty() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void close(Handle h) { UnmapViewOfFile(h); }
};

// Modules from LoadLibrary(Ex)W that are released again.
struct ModuleTraits {
    using Handle = HMODULE;
    static Handle empty() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void close(Handle h) { FreeLibrary(h); }
};

// Event log sources from RegisterEventSourceW.
struct EventSourceTraits {
    using Handle = HANDLE;
    static Handle empty() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void close(Handle h) { DeregisterEventSource(h); }
};

// Memory the system allocated for the caller with LocalAlloc (security descriptors, SID
// strings).
struct LocalMemoryTraits {
    using Handle = HLOCAL;
    static Handle empty() { return nullptr; }
    static bool isValid(Handle h) { return h != nullptr; }
    static void close(Handle h) { LocalFree(h); }
};

using ScopedKernelHandle = ScopedHandle<KernelHandleTraits>;
using ScopedFindHandle = ScopedHandle<FindHandleTraits>;
using ScopedRegistryKey = ScopedHandle<RegistryKeyTraits>;
using ScopedMappedView = ScopedHandle<MappedViewTraits>;
using ScopedModule = ScopedHandle<ModuleTraits>;
using ScopedEventSource = ScopedHandle<EventSourceTraits>;
using ScopedLocalMemory = ScopedHandle<LocalMemoryTraits>;

} // namespace noviq::platform::win32
