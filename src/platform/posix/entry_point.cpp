// Linux entry point of the launcher executable: keeps the argument vector, which the
// launcher takes as the Java arguments.
#include <cstdint>

#include "platform/process.h"

namespace noviq {
int32_t launcherMain(bool windowed);
}

int main(int argc, char** argv) {
    noviq::platform::setArgumentVector(argc, argv);
    return static_cast<unsigned char>(noviq::launcherMain(false));
}
