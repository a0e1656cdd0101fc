// The launcher's main procedure (called by the platform entry point): initialise, run in
// the foreground or as a service, shut down and return the exit code.
#include "common/allocation_failure.h"
#include "launcher/launcher.h"
#include "platform/library.h"
#include "platform/text.h"
#include "service/service_module.h"

namespace noviq {

int32_t launcherMain() {
    endProcessOnAllocationFailure();
    Launcher launcher;
    ServiceModule service;
    platform::setThreadLocaleToSystemDefault();
    platform::excludeCurrentFolderFromLibrarySearch();
    int32_t result = -1;
    if (launcher.initialize()) {
        if (!launcher.isService())
            result = launcher.run();
        else if (service.attach(launcher, launcher.omitServiceName()))
            result = service.runDispatcher();
    }
    launcher.shutdown();
    return result;
}

} // namespace noviq
