// Placeholder for the runtime search: finds nothing yet, so the not-found path runs.
#include "jre/runtime_search.h"

#include "launcher/launcher.h"

namespace noviq {

WideString findRuntime(Launcher& launcher, const JreSearchPreferences&) {
    launcher.runtimeIs32Bit = false;
    return WideString();
}

void Launcher::checkJvmArchitecture() { runtimeIs32Bit = false; }

} // namespace noviq
