// Placeholder for single-instance coordination: every start runs as a first instance.
#include "launcher/launcher.h"

namespace noviq {

bool Launcher::setupSingleInstance() {
    singleInstanceActive = false;
    isPrimary = true;
    return true;
}

int32_t Launcher::waitForPrimaryReply() { return -1; }

} // namespace noviq
