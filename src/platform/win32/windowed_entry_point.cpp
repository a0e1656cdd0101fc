// Windows entry point of the windowed launcher (noviqw.exe): no console of its own, errors
// in message boxes.
#include <cstdint>

#include "platform/win32/windows_api.h"

namespace noviq {
int32_t launcherMain(bool windowed);
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return noviq::launcherMain(true);
}
