// Windows entry point of the launcher executable.
#include <cstdint>

namespace noviq {
int32_t launcherMain();
}

int wmain(int, wchar_t**) {
    return noviq::launcherMain();
}
