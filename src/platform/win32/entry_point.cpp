// Windows entry point of the console launchers (noviq.exe, noviq32.exe).
#include <cstdint>

#include "platform/win32/windows_api.h"

namespace noviq {
int32_t launcherMain(bool windowed);
}

int wmain(int, wchar_t**) {
    // Started without a console and without standard handles, as the windowed launcher starts
    // its paired program, a console launcher reports as the windowed one does: no line it
    // printed would reach anybody.
    const bool detached =
        GetConsoleCP() == 0 && !GetStdHandle(STD_OUTPUT_HANDLE) && !GetStdHandle(STD_ERROR_HANDLE);
    return noviq::launcherMain(detached);
}
