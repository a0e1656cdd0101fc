// Windows: the launcher's own process.
#include "platform/process.h"

#include <cwchar>
#include <string>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

namespace noviq::platform {

using namespace win32;

namespace {

// A started process's handles closed, after waiting for its exit code when asked to.
SystemResult<uint32_t> started(const PROCESS_INFORMATION& info, bool wait) {
    ScopedKernelHandle process(info.hProcess);
    ScopedKernelHandle thread(info.hThread);
    if (!wait)
        return 0u;
    WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    return static_cast<uint32_t>(code);
}

} // namespace

SystemResult<WideString> executablePath() {
    wchar_t buffer[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    if (n == 0)
        return SystemResult<WideString>::failure(GetLastError());
    return str(buffer, static_cast<int32_t>(n));
}

std::optional<WideString> rawCommandLine() {
    return str(GetCommandLineW());
}

StringList argumentVector() {
    return StringList();
}

void setArgumentVector(int, char**) {}

uint32_t setCurrentDirectory(const WideString& folder) {
    return SetCurrentDirectoryW(w(folder)) ? 0 : GetLastError();
}

WideString currentDirectory() {
    const DWORD needed = GetCurrentDirectoryW(0, nullptr);
    if (needed == 0)
        return WideString();
    WideString result;
    const DWORD n = GetCurrentDirectoryW(needed, w(result.GetBuffer(static_cast<int32_t>(needed))));
    result.ReleaseBuffer(n < needed ? static_cast<int32_t>(n) : 0);
    return result;
}

uint32_t currentProcessId() {
    return GetCurrentProcessId();
}

uint32_t lastError() {
    return GetLastError();
}
void setLastError(uint32_t code) {
    SetLastError(code);
}

bool isNtFamily() {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExW(&info))
        return false;
#pragma GCC diagnostic pop
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

namespace {
bool readElevation() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
        return true;
    const ScopedKernelHandle token(raw);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size))
        return true;
    return elevation.TokenIsElevated != 0;
}
} // namespace

bool isElevated() {
    static const bool elevated = readElevation();
    return elevated;
}

SystemResult<uint32_t> startPairedProgram(const WideString& program, bool wait) {
    STARTUPINFOW startup{};
    PROCESS_INFORMATION info{};
    startup.cb = sizeof startup;
    // A launcher without a console (the windowed one, or a console one started without) has
    // none to share, and a console program it starts would open a window of its own. The
    // paired program runs without one and reports as windowed.
    const DWORD flags = GetConsoleCP() == 0 ? DETACHED_PROCESS : 0;
    if (!CreateProcessW(w(program), nullptr, nullptr, nullptr, FALSE, flags, nullptr, nullptr,
                        &startup, &info))
        return SystemResult<uint32_t>::failure(GetLastError());
    return started(info, wait);
}

SystemResult<uint32_t> startInBackground(const WideString& program, const WideString& variable,
                                         const WideString& value, bool wait) {
    // The environment block: this process's variables without `variable`, then its setting.
    std::wstring block;
    const std::wstring prefix = std::wstring(w(variable)) + L"=";
    if (wchar_t* strings = GetEnvironmentStringsW()) {
        for (const wchar_t* entry = strings; *entry; entry += wcslen(entry) + 1)
            if (_wcsnicmp(entry, prefix.c_str(), prefix.size()) != 0)
                block.append(entry, wcslen(entry) + 1);
        FreeEnvironmentStringsW(strings);
    }
    block += prefix + w(value);
    block.push_back(L'\0');
    block.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES; // all three null: nowhere
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(w(program), nullptr, nullptr, nullptr, FALSE,
                        DETACHED_PROCESS | CREATE_UNICODE_ENVIRONMENT, block.data(), nullptr,
                        &startup, &info))
        return SystemResult<uint32_t>::failure(GetLastError());
    return started(info, wait);
}

[[noreturn]] void endProcessNow(uint32_t code) {
    // ExitProcess would run the libraries' detach code, which may wait for the JVM's locks.
    TerminateProcess(GetCurrentProcess(), code);
    ExitProcess(code);
}

} // namespace noviq::platform
