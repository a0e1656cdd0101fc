// The one application object: every setting, the Java arguments, the runtime choice and
// the JVM handles, from the start of the process to its end.
#pragma once

#include <cstdint>
#include <jni.h>

#include "common/basic_string.h"
#include "common/string_list.h"
#include "jre/java_version.h"
#include "jre/search_preferences.h"
#include "launcher/launcher_hooks.h"

namespace noviq {

using CreateJavaVmFunction = jint(JNICALL*)(JavaVM**, void**, void*);
using GetDefaultInitArgsFunction = jint(JNICALL*)(void*);

class Launcher {
public:
    Launcher();
    ~Launcher();
    Launcher(const Launcher&) = delete;
    Launcher& operator=(const Launcher&) = delete;

    // Lifecycle, in this order: initialize(), run() (or the service), shutdown().
    bool initialize();
    int32_t run();
    void shutdown();

    // Start-up steps.
    void parseCommandLine();
    bool readSettings();
    bool setupSingleInstance();
    int32_t waitForPrimaryReply();
    void applyWorkingDirectory();
    bool modulePath(WideString& path);

    // Settings files.
    bool iniPath(WideString& path);
    bool perUserIniPath(const WideString& executablePath, bool create, WideString& path);
    void saveJrePath(const WideString& runtimeFolder);

    // Runtime choice.
    JreSearchPreferences searchPreferences() const;
    void checkJvmArchitecture();

    // Hosting the JVM.
    void prepareEnvironment();
    bool buildJvmOptions();
    bool loadJvmLibrary();
    uint32_t runJavaMainThread();
    bool createJvm();
    bool callMainClass();
    uint32_t javaMainThreadBody();

    LauncherHooks* hookTarget = nullptr;
    JvmType jvmType = JvmType::Default;
    WideString jvmLibraryPath;
    JavaVM* javaVm = nullptr;
    JNIEnv* jniEnv = nullptr;
    WideString mainClass;
    JavaVersionRange versionRange;
    StringList arguments;
    bool isService = false;
    bool omitServiceName = false;
    bool preferJdk = false;
    bool preferJre = false;
    bool searchBothKinds = true;
    bool jrockitAllowed = false;
    bool sunAllowed = true;
    bool ibmAllowed = false;
    bool jrockitPreferred = false;
    bool sunPreferred = true;
    bool ibmPreferred = false;
    WideString productName;
    WideString productCode;
    NarrowStringList jvmOptions;
    StringList preferredVersions;
    WideString jrePath;
    WideString libraryPath;
    bool isPrimary = false;
    bool singleInstanceActive = false;
    WideString outputFile;
    WideString errorFile;
    WideString systemPath;
    WideString extraArguments;
    WideString pairProduct;
    bool pairReturnCode = false;
    bool failureCheck = false;
    bool overrideWorkingDir = false;
    uint64_t javaThreadStackSize = 0;
    bool runtimeIs32Bit = false;
    CreateJavaVmFunction createJavaVm = nullptr;
    GetDefaultInitArgsFunction getDefaultInitArgs = nullptr;
};

// The launcher being run; the JVM's hooks, which take no context, reach it through this.
extern Launcher* currentLauncher;

} // namespace noviq
