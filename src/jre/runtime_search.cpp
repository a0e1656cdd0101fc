// The runtime search. So far: the "JRE Path" folder and a runtime beside the executable;
// the installed runtimes are not searched yet.
#include "jre/runtime_search.h"

#include "jre/jvm_library.h"
#include "launcher/launcher.h"
#include "platform/path_style.h"

namespace noviq {

namespace {

WideString withSeparator(WideString folder) {
    if (folder.isEmpty() || folder.last() != platform::kPathSeparator)
        folder += platform::kPathSeparator;
    return folder;
}

} // namespace

WideString findRuntime(Launcher& launcher, const JreSearchPreferences& preferences) {
    launcher.runtimeIs32Bit = false;
    if (!preferences.jrePath.isEmpty()) {
        const JvmLibraryChoice choice =
            resolveJvmLibrary(withSeparator(preferences.jrePath), preferences.jvmType);
        if (!choice.path.isEmpty()) {
            launcher.jvmLibraryPath = choice.path;
            launcher.checkJvmArchitecture();
            return choice.path;
        }
    }
    WideString executable;
    if (launcher.modulePath(executable)) {
        const WideString folder = executable.Left(executable.ReverseFind(platform::kPathSeparator) + 1);
        for (const WideString& candidate : {folder, folder + u"jre64" + WideString(&platform::kPathSeparator, 1)}) {
            if (hasRuntimeMarker(candidate)) {
                return resolveJvmLibrary(candidate, preferences.jvmType).path;
            }
        }
    }
    return WideString();
}

void Launcher::checkJvmArchitecture() { runtimeIs32Bit = false; }

} // namespace noviq
