// Windows: error lines go to standard output through the C runtime in text mode.
#include "platform/console.h"

#include <cstdio>

#include "platform/win32/windows_api.h"

namespace noviq::platform {

void writeStandardOutput(const char* bytes, int32_t length) {
    if (length > 0)
        std::fwrite(bytes, 1, static_cast<size_t>(length), stdout);
    std::fflush(stdout);
}

void writeStandardError(const char* bytes, int32_t length) {
    if (length > 0)
        std::fwrite(bytes, 1, static_cast<size_t>(length), stderr);
    std::fflush(stderr);
}

// The JVM's standard output in each C runtime a runtime may have brought into the process:
// the universal one (Java 9 and later), Visual C++ 2010 and 2013 (Java 8) and msvcrt (older
// runtimes, and the launcher's own). The stream array of the older ones holds FILE records
// laid out as the launcher's own headers declare them.
bool isJvmStandardOutput(const void* cStream) {
    if (cStream == stdout)
        return true;
    if (HMODULE universal = GetModuleHandleW(L"ucrtbase.dll")) {
        using IobFunction = std::FILE* (*)(unsigned);
        if (auto streams = reinterpret_cast<IobFunction>(
                reinterpret_cast<void*>(GetProcAddress(universal, "__acrt_iob_func"))))
            if (cStream == streams(1))
                return true;
    }
    for (const wchar_t* name : {L"msvcr100.dll", L"msvcr120.dll", L"msvcrt.dll"}) {
        HMODULE runtime = GetModuleHandleW(name);
        if (!runtime)
            continue;
        using IobArray = std::FILE* (*)();
        if (auto streams = reinterpret_cast<IobArray>(
                reinterpret_cast<void*>(GetProcAddress(runtime, "__iob_func"))))
            if (cStream == streams() + 1)
                return true;
    }
    return false;
}

// A library's C runtime reads the standard handles when it loads; the handles inherited
// from whoever started the process are dropped before the JVM library is loaded.
void discardStandardOutputAndError() {
    SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
    SetStdHandle(STD_ERROR_HANDLE, nullptr);
}

// Windows asks its questions in dialogs.
bool isInteractive() {
    return false;
}

std::optional<NarrowString> readStandardInputLine() {
    return std::nullopt;
}

} // namespace noviq::platform
