// The launcher's main procedure (called by the platform entry point): initialise, run in
// the foreground or as a service, shut down and return the exit code.
#include "common/allocation_failure.h"
#include "common/trace.h"
#include "launcher/launcher.h"
#include "platform/library.h"
#include "platform/text.h"

namespace noviq {

int32_t launcherMain() {
    endProcessOnAllocationFailure();
    startTrace();
    Launcher launcher;
    platform::setThreadLocaleToSystemDefault();
    platform::excludeCurrentFolderFromLibrarySearch();
    const bool started = launcher.initialize();
    int32_t result = -1;
    if (launcher.isService())
        result = launcher.runAsService(started);
    else if (started)
        result = launcher.run();
    launcher.shutdown();
    trace(u"end: exit code %d", result);
    return result;
}

} // namespace noviq
