// Windows entry point of the console launchers (noviq.exe, noviq32.exe).
#include <cstdint>

namespace noviq {
int32_t launcherMain(bool windowed);
}

int wmain(int, wchar_t**) {
    return noviq::launcherMain(false);
}
