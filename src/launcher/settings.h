// The launcher's INI settings, read once into values: what the start needs before the
// runtime is chosen (Settings) and what shapes the JVM (JvmSettings, read when the JVM is
// about to be created). Also the per-user file that remembers a chosen runtime folder.
#pragma once

#include <optional>

#include "base/basic_string.h"
#include "jre/runtime_request.h"
#include "jvm/jvm_options.h"
#include "launcher/process_context.h"

namespace noviq {

struct Settings {
    WideString productName;
    WideString productCode;
    bool isService = false;
    bool omitServiceName = false;
    bool singleInstance = false; // "Single Instance" is "yes"
    RuntimeRequest runtime;
    WideString mainClass; // slash-separated
    bool failureCheck = false;
    bool overrideWorkingDir = false;
    WideString systemPath;
    WideString libraryPath;
    WideString pairProduct; // the paired 32-bit program, or empty
    bool pairReturnCode = false;
    WideString splashScreen;            // the image's full path, or empty
    std::optional<int32_t> restartCode; // the exit code that starts the application again
    // A service's stop call: a static method of stopClass (slash-separated), with "Stop
    // Parameters" as its String[] when they are given.
    WideString stopClass; // the main class unless set
    WideString stopMethod;
    bool stopCallConfigured = false; // "Stop Class" or "Stop Method" is set
    bool stopParametersGiven = false;
    uint32_t stopTimeout = 30; // seconds until Java is ended after the stop call; 0: none
};

// Reads the settings from the context's INI file (and "JRE Path" from the per-user file
// once that exists). Reports and returns nothing when the main class is missing; nothing,
// silently, when the executable has no INI file name.
std::optional<Settings> readSettings(const ProcessContext& context);

// Whether the INI file asks for a service, known before (and whatever) the rest of the
// settings say, so that a service's own failures reach the service manager.
bool configuredAsService(const ProcessContext& context);

// The settings that shape the JVM, from the context's INI file.
JvmSettings readJvmSettings(const ProcessContext& context);

// The per-user INI file of an executable under the settings' product name and code; with
// `create`, every missing folder above it is made. False when there is none: "Product Name"
// or "Product Code" is empty (the two keys turn remembering on), or there is no per-user
// base folder.
bool perUserIniPath(const Settings& settings, const WideString& executablePath, bool create,
                    WideString& path);

// Remembers a runtime folder the user chose as "JRE Path": per user (for this executable
// and the paired one), or in the paired program's own INI file where there are no per-user
// files.
void saveJrePath(const Settings& settings, const ProcessContext& context,
                 const WideString& runtimeFolder);

} // namespace noviq
