// Loading the chosen JVM library and resolving its two invocation entry points once.
#include "common/messages.h"
#include "launcher/launcher.h"
#include "platform/library.h"

namespace noviq {

bool Launcher::loadJvmLibrary() {
    uint32_t error = 0;
    void* library = platform::loadLibraryForever(jvmLibraryPath, error);
    if (!library) {
        ReportError(LoadMessage(MessageId::JvmLibraryLoadFailed), jvmLibraryPath,
                    static_cast<int32_t>(error));
        return false;
    }
    createJavaVm = reinterpret_cast<CreateJavaVmFunction>(
        platform::findLibrarySymbol(library, "JNI_CreateJavaVM", error));
    if (!createJavaVm) {
        ReportSystemError(MessageId::WindowsException, MessageId::CreateJavaVmMissing, error);
        return false;
    }
    getDefaultInitArgs = reinterpret_cast<GetDefaultInitArgsFunction>(
        platform::findLibrarySymbol(library, "JNI_GetDefaultJavaVMInitArgs", error));
    if (!getDefaultInitArgs) {
        ReportSystemError(MessageId::WindowsException, MessageId::CreateJavaVmMissing, error);
        return false;
    }
    return true;
}

} // namespace noviq
