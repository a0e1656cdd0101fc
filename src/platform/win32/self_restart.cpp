// Windows: the same executable and command line started again as a new process, with the
// folder and environment block recorded at the start, and waited for.
#include "platform/self_restart.h"

#include <vector>

#include "platform/process.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

namespace noviq::platform {

namespace {

using win32::w;

WideString gFolder;
std::vector<char16_t> gEnvironment; // NAME=value entries, each ending in a zero

} // namespace

void recordStartState() {
    gFolder = currentDirectory();
    wchar_t* block = GetEnvironmentStringsW();
    if (!block)
        return;
    const wchar_t* end = block;
    while (*end)
        end += wcslen(end) + 1;
    gEnvironment.assign(reinterpret_cast<const char16_t*>(block),
                        reinterpret_cast<const char16_t*>(end));
    FreeEnvironmentStringsW(block);
}

SystemResult<uint32_t> startAgain(const WideString& variable, const WideString& value) {
    const SystemResult<WideString> program = executablePath();
    if (!program)
        return SystemResult<uint32_t>::failure(program.error());
    std::vector<char16_t> environment = gEnvironment;
    const WideString entry = variable + u"=" + value;
    environment.insert(environment.end(), entry.c_str(), entry.c_str() + entry.length() + 1);
    environment.push_back(0);
    // The command line as the system keeps it: the new start splits it as this one did.
    const wchar_t* raw = GetCommandLineW();
    std::vector<wchar_t> commandLine(raw, raw + wcslen(raw) + 1);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION info{};
    const DWORD flags = CREATE_UNICODE_ENVIRONMENT | (GetConsoleCP() == 0 ? DETACHED_PROCESS : 0);
    if (!CreateProcessW(w(*program), commandLine.data(), nullptr, nullptr, TRUE, flags,
                        environment.data(), gFolder.isEmpty() ? nullptr : w(gFolder), &startup,
                        &info))
        return SystemResult<uint32_t>::failure(GetLastError());
    win32::ScopedKernelHandle process(info.hProcess);
    win32::ScopedKernelHandle thread(info.hThread);
    WaitForSingleObject(process.get(), INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    return static_cast<uint32_t>(code);
}

void exitProcess(uint32_t code) {
    ExitProcess(code);
}

} // namespace noviq::platform
