// The Launcher's lifecycle: initialise, run, shut down.
#include "launcher/launcher.h"

#include "common/messages.h"
#include "common/path_utils.h"
#include "common/text.h"
#include "jre/jre_dialog.h"
#include "jre/runtime_search.h"
#include "platform/errors.h"
#include "platform/path_style.h"
#include "platform/process.h"

namespace noviq {

Launcher* currentLauncher = nullptr;

Launcher::Launcher() { currentLauncher = this; }

Launcher::~Launcher() {
    if (currentLauncher == this)
        currentLauncher = nullptr;
}

bool Launcher::initialize() {
    parseCommandLine();
    if (!readSettings())
        return false;
    if (!setupSingleInstance())
        return false;
    if (singleInstanceActive && !isPrimary)
        return true; // a second start hands over; it needs no runtime
    if (overrideWorkingDir)
        applyWorkingDirectory();

    jvmLibraryPath = findRuntime(*this, searchPreferences());
    if (!jvmLibraryPath.isEmpty())
        return true;

    const JreDialogResult choice =
        showJreNotFoundDialog(notFoundMessage(jvmType, versionRange), jvmType);
    if (choice.outcome == JreDialogOutcome::NotShown) {
        platform::setLastError(platform::kErrorOutOfMemory);
        return false;
    }
    if (choice.outcome != JreDialogOutcome::Accepted)
        return false;
    jvmLibraryPath = choice.jvmLibraryPath;
    checkJvmArchitecture();
    saveJrePath(choice.runtimeFolder);
    return true;
}

int32_t Launcher::run() {
    if (runtimeIs32Bit) {
        // The paired executable runs instead of the JVM; it gets no arguments.
        const uint32_t code = platform::startPairedProgram(pairProduct, pairReturnCode);
        return static_cast<int32_t>(code);
    }
    if (singleInstanceActive && !isPrimary)
        return waitForPrimaryReply();
    prepareEnvironment();
    if (!loadJvmLibrary())
        return -1;
    buildJvmOptions();
    return runJavaMainThread() == 0 ? 0 : -1;
}

void Launcher::shutdown() {
    if (javaVm) {
        // Waits until every non-daemon Java thread has ended.
        javaVm->DestroyJavaVM();
    }
    arguments.clear();
    jvmOptions.clear();
    preferredVersions.clear();
}

void Launcher::parseCommandLine() {
    arguments.clear();
    const std::optional<WideString> commandLine = platform::rawCommandLine();
    if (!commandLine) {
        // The system has already split the arguments; they go to Java unchanged.
        arguments = platform::argumentVector();
        return;
    }
    StringList tokens;
    tokenizeCommandLine(trimmed(*commandLine), tokens);
    for (int32_t i = 1; i < tokens.count(); ++i)
        arguments.add(tokens[i]);
}

void Launcher::applyWorkingDirectory() {
    WideString path;
    if (!modulePath(path))
        return;
    const int32_t last = path.ReverseFind(platform::kPathSeparator);
    if (last > 0)
        platform::setCurrentDirectory(path.Left(last));
}

bool Launcher::modulePath(WideString& path) {
    uint32_t error = 0;
    if (platform::executablePath(path, error))
        return true;
    ReportSystemError(MessageId::WindowsException, MessageId::ModulePathFailed, error);
    return false;
}

JreSearchPreferences Launcher::searchPreferences() const {
    JreSearchPreferences p;
    p.jvmType = jvmType;
    p.preferJdk = preferJdk;
    p.preferJre = preferJre;
    p.searchBothKinds = searchBothKinds;
    p.jrockitAllowed = jrockitAllowed;
    p.sunAllowed = sunAllowed;
    p.ibmAllowed = ibmAllowed;
    p.jrockitPreferred = jrockitPreferred;
    p.sunPreferred = sunPreferred;
    p.ibmPreferred = ibmPreferred;
    p.range = versionRange;
    p.preferredVersions = preferredVersions;
    p.jrePath = jrePath;
    p.pairProductSet = !pairProduct.isEmpty();
    return p;
}

} // namespace noviq
