// The launcher's main procedure (called by the platform entry point): initialise, run in
// the foreground or as a service, shut down and return the exit code. The windowed variant
// differs only in where its errors and standard streams go.
#include "common/allocation_failure.h"
#include "common/messages.h"
#include "common/path_utils.h"
#include "common/text.h"
#include "common/trace.h"
#include "gui/prompts.h"
#include "jvm/aot_cache.h"
#include "jvm/class_data_sharing.h"
#include "jvm/jvm_options.h"
#include "launcher/launcher.h"
#include "platform/console.h"
#include "platform/environment.h"
#include "platform/library.h"
#include "platform/process.h"
#include "platform/protected_folders.h"
#include "platform/text.h"

namespace noviq {

namespace {

// The windowed launcher's error lines: a message box each, captioned with the executable's
// file name, since there is no console to write them on.
class MessageBoxErrorLines final : public ErrorLineSink {
public:
    MessageBoxErrorLines() {
        if (const auto path = platform::executablePath())
            caption_ = path.value().Mid(withoutLastComponent(path.value()).length() + 1);
    }
    void write(const WideString& line) override { showErrorMessage(caption_, trimmed(line)); }

private:
    WideString caption_;
};

// The launcher started by itself to create an ahead-of-time cache: the job must lie in the
// cache folder that this process, elevated or not, would use itself.
std::optional<int32_t> runAotCacheJob() {
    for (const char16_t* variable : {kAotJobVariable, kAotCreateVariable}) {
        const std::optional<WideString> job = platform::wholeEnvironmentVariable(variable);
        if (!job)
            continue;
        platform::removeEnvironmentVariable(kAotJobVariable);
        platform::removeEnvironmentVariable(kAotCreateVariable);
        const bool elevated = platform::isElevated();
        // The user's own variables could hand the creating JVM options of theirs.
        if (elevated)
            removeUserJvmOptionVariables();
        const WideString root =
            elevated ? platform::protectedCacheRoot() : platform::perUserCacheFolder();
        return createAotCache(*job, root, root.isEmpty() ? WideString() : classDataFolder(root),
                              elevated, variable == kAotCreateVariable);
    }
    return std::nullopt;
}

} // namespace

int32_t launcherMain(bool windowed) {
    endProcessOnAllocationFailure();
    startTrace();
    // The job's text is in the system's code page, as the start that wrote it had it.
    platform::setThreadLocaleToSystemDefault();
    platform::excludeCurrentFolderFromLibrarySearch();
    if (const std::optional<int32_t> created = runAotCacheJob())
        return *created;
    if (windowed) {
        platform::discardStandardOutputAndError();
        // Never destroyed: a JVM thread may still report while the process exits.
        redirectErrorLines(new MessageBoxErrorLines());
    }
    Launcher launcher;
    const bool started = launcher.initialize();
    int32_t result = -1;
    if (launcher.isService())
        result = launcher.runAsService(started);
    else if (started)
        result = launcher.run();
    launcher.shutdown();
    result = launcher.endingWith(result);
    trace(u"end: exit code %d", result);
    return result;
}

} // namespace noviq
