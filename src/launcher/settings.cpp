// The launcher's INI settings: what each key sets, the per-user file, and the write-back of
// a runtime folder chosen by the user.
#include "launcher/settings.h"

#include <cstdint>

#include "common/ini_file.h"
#include "common/messages.h"
#include "common/path_utils.h"
#include "common/text.h"
#include "common/trace.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/path_style.h"
#include "platform/process.h"
#include "platform/protected_settings.h"

namespace noviq {

namespace {

const char16_t kApplication[] = u"Application";
const char16_t kJre[] = u"Java Runtime Environment";
const char16_t kProduct[] = u"Product Information";

// The product name as a folder name: characters that cannot stand in one are dropped.
WideString folderNameOf(const WideString& productName) {
    WideString name;
    for (int32_t i = 0; i < productName.length(); ++i) {
        const char16_t c = productName[i];
        if (c != u'\\' && c != u'?' && c != u'"' && c != u'|' && c != u'>' && c != u'<' &&
            c != u':' && c != u'/' && c != u'*')
            name += c;
    }
    return name;
}

// An INI file is a few kilobytes; one far larger is refused before it is read, since the
// profile reader holds a whole file in memory.
constexpr uint64_t kIniFileLimitMb = 64;

bool isReadableQuietly(const WideString& iniPath) {
    const std::optional<uint64_t> size = platform::regularFileSize(iniPath);
    return !size || *size <= kIniFileLimitMb * 1024 * 1024;
}

bool isReadable(const WideString& iniPath) {
    if (!isReadableQuietly(iniPath)) {
        ReportError(LoadMessage(MessageId::IniFileTooLarge), iniPath,
                    static_cast<int32_t>(kIniFileLimitMb));
        return false;
    }
    return true;
}

bool isYes(const WideString& value) {
    return equalsIgnoringAsciiCase(value, "Yes");
}

// A decimal exit code, "-" allowed; nothing for an empty or malformed value.
std::optional<int32_t> exitCodeOf(const WideString& text) {
    const bool negative = text.length() > 1 && text[0] == u'-';
    int64_t value = 0;
    for (int32_t i = negative ? 1 : 0; i < text.length(); ++i) {
        if (text[i] < u'0' || text[i] > u'9' || value > INT32_MAX)
            return std::nullopt;
        value = value * 10 + (text[i] - u'0');
    }
    if (text.isEmpty() || value > INT32_MAX)
        return std::nullopt;
    return static_cast<int32_t>(negative ? -value : value);
}

void readRuntimeKind(const IniReader& ini, RuntimeRequest& request) {
    const WideString type = ini.GetValue(kJre, u"JVM Type");
    request.jvmType = type == u"server"         ? JvmType::Server
                      : type == u"favor_server" ? JvmType::FavorServer
                                                : JvmType::Default;

    const WideString source = ini.GetValue(kJre, u"JVM Source");
    if (source.isEmpty()) {
        request.preferJdk = request.preferJre = true;
    } else {
        request.preferJdk = source == u"favor_JDK" || source == u"only_JDK";
        request.preferJre = source == u"favor_JRE" || source == u"only_JRE";
        request.searchBothKinds = source == u"favor_JDK" || source == u"favor_JRE";
    }

    struct ProviderRow {
        const char* name;
        bool jrockitAllowed, sunAllowed, ibmAllowed, jrockitPreferred, sunPreferred, ibmPreferred;
    };
    static constexpr ProviderRow kProviders[] = {
        {"jrockit", true, false, false, true, false, false},
        {"ibm", false, false, true, false, false, true},
        {"favor_sun", true, true, true, false, true, false},
        {"favor_jrockit", true, true, true, true, false, false},
        {"favor_ibm", true, true, true, false, false, true},
        {"any", true, true, true, false, false, false},
    };
    const WideString provider = ini.GetValue(kJre, u"VM Provider");
    for (const ProviderRow& row : kProviders) {
        if (equalsIgnoringAsciiCase(provider, row.name)) {
            request.jrockitAllowed = row.jrockitAllowed;
            request.sunAllowed = row.sunAllowed;
            request.ibmAllowed = row.ibmAllowed;
            request.jrockitPreferred = row.jrockitPreferred;
            request.sunPreferred = row.sunPreferred;
            request.ibmPreferred = row.ibmPreferred;
            break;
        }
    }
}

// "<product name>\<product code>\<program>": where a program's remembered settings live, in
// the per-user folder or in the store only administrators can write. Both names become
// folder names: what cannot stand in one is dropped. Without both there is none: a name like
// "%APPDATA%\tool.ini" may belong to any other program, and ".." would climb out of the base.
std::optional<WideString> productScope(const Settings& settings, const WideString& program) {
    const WideString nameFolder = folderNameOf(settings.productName);
    const WideString codeFolder = folderNameOf(settings.productCode);
    for (const WideString& folder : {nameFolder, codeFolder})
        if (folder.isEmpty() || folder == u"." || folder == u"..")
            return std::nullopt;
    WideString fileName = program.Mid(program.ReverseFind(platform::kPathSeparator) + 1);
    const int32_t dot = fileName.ReverseFind(u'.');
    if (dot >= 0)
        fileName = fileName.Left(dot);
    if (fileName.isEmpty() || fileName == u"." || fileName == u"..")
        return std::nullopt;
    const WideString separator(&platform::kPathSeparator, 1);
    return nameFolder + separator + codeFolder + separator + fileName;
}

std::optional<WideString> readProtectedJrePath(const Settings& settings,
                                               const WideString& program) {
    const std::optional<WideString> scope = productScope(settings, program);
    return scope ? platform::readProtectedSetting(*scope, u"JRE Path") : std::nullopt;
}

bool writeProtectedJrePath(const Settings& settings, const WideString& program,
                           const WideString& folder) {
    const std::optional<WideString> scope = productScope(settings, program);
    return scope && platform::writeProtectedSetting(*scope, u"JRE Path", folder);
}

// A service's stop call. A "Stop Timeout" that is not a whole number of seconds (at most
// nine digits) keeps the default.
void readStopCall(const IniReader& ini, Settings& s) {
    const WideString stopClass = ini.GetValue(kApplication, u"Stop Class");
    const WideString stopMethod = ini.GetValue(kApplication, u"Stop Method");
    s.stopCallConfigured = !stopClass.isEmpty() || !stopMethod.isEmpty();
    s.stopClass = stopClass.isEmpty() ? s.mainClass : stopClass;
    s.stopClass.Replace(u'.', u'/');
    s.stopMethod = stopMethod.isEmpty() ? WideString(u"stop") : stopMethod;
    s.stopParametersGiven = !ini.GetValue(kApplication, u"Stop Parameters").isEmpty();
    const WideString timeout = trimmed(ini.GetValue(kApplication, u"Stop Timeout"));
    uint32_t seconds = 0;
    bool valid = !timeout.isEmpty() && timeout.length() <= 9;
    for (int32_t i = 0; valid && i < timeout.length(); ++i) {
        valid = timeout[i] >= u'0' && timeout[i] <= u'9';
        seconds = seconds * 10 + static_cast<uint32_t>(timeout[i] - u'0');
    }
    if (valid)
        s.stopTimeout = seconds;
}

} // namespace

bool perUserIniPath(const Settings& settings, const WideString& executablePath, bool create,
                    WideString& path) {
    // Without a per-user base folder there is no per-user file: a path built from nothing
    // would land at the root of the current drive, and a relative base (APPDATA or
    // XDG_CONFIG_HOME set so) below whatever folder the start happens to be in.
    const std::optional<WideString> scope = productScope(settings, executablePath);
    const WideString base = platform::perUserConfigFolder();
    if (!scope || base.isEmpty() || !isAbsolutePath(base))
        return false;
    path = base + WideString(&platform::kPathSeparator, 1) + *scope + u".ini";
    // Every missing folder is made, the per-user base included (a fresh account may have
    // no configuration folder yet); a failure shows when the file is written.
    if (create)
        createParentFolders(path);
    return true;
}

std::optional<Settings> readSettings(const ProcessContext& context) {
    if (context.iniPath.isEmpty() || !isReadable(context.iniPath))
        return std::nullopt;
    const IniFile ini(context.iniPath);
    const PlainIniFile identity(context.iniPath);
    Settings s;
    RuntimeRequest& request = s.runtime;

    s.productCode = identity.GetValue(kProduct, u"Product Code");
    s.productName = identity.GetValue(kProduct, u"Product Name");

    request.range = JavaVersionRange(ini.GetValue(kJre, u"Minimum Version"),
                                     ini.GetValue(kJre, u"Maximum Version"));

    if (ini.GetValue(kApplication, u"Application Type") == u"service") {
        s.isService = true;
        s.omitServiceName = !ini.GetValue(kApplication, u"Omit Service Name").isEmpty();
    }

    s.singleInstance = ini.GetValue(kApplication, u"Single Instance") == u"yes";

    splitAtSeparator(ini.GetValue(kJre, u"Preferred versions"), u";", request.preferredVersions);

    // A folder the user chose is remembered per user; once that file exists it decides,
    // even when its value is empty. Services always use the main file. An elevated start
    // reads no per-user file, which any program of the user could have written: it
    // remembers where only administrators can write.
    bool fromPerUserFile = false;
    if (platform::isNtFamily() && !s.isService && context.elevated) {
        if (std::optional<WideString> remembered =
                readProtectedJrePath(s, context.executablePath)) {
            request.jrePath = *remembered;
            trace(u"settings: JRE Path remembered for all users");
            fromPerUserFile = true;
        }
    } else if (platform::isNtFamily() && !s.isService) {
        WideString perUser;
        if (perUserIniPath(s, context.executablePath, false, perUser) && perUser.length() < 260 &&
            platform::firstFileExists(perUser)) {
            if (!isReadable(perUser))
                return std::nullopt;
            request.jrePath = PlainIniFile(perUser).GetValue(kJre, u"JRE Path");
            trace(u"settings: JRE Path from the per-user file %s", perUser);
            fromPerUserFile = true;
        }
    }
    if (!fromPerUserFile)
        request.jrePath = ini.GetValue(kJre, u"JRE Path");
    // Relative folders are the application's, never the current folder's.
    request.jrePath = absoluteFrom(context.executableFolder, request.jrePath);

    readRuntimeKind(ini, request);
    request.modernRuntimes = isYes(ini.GetValue(kJre, u"Modern Runtimes"));
    request.userSources = !context.elevated;

    s.mainClass = ini.GetValue(kJre, u"Main Class");
    if (s.mainClass.isEmpty()) {
        ReportMessage(MessageId::MainClassMissing);
        return std::nullopt;
    }
    s.mainClass.Replace(u'.', u'/');

    s.failureCheck = isYes(ini.GetValue(kApplication, u"Failure Check"));
    s.overrideWorkingDir = isYes(ini.GetValue(kApplication, u"Override WorkingDir"));
    s.systemPath = ini.GetValue(kJre, u"System Path");
    s.libraryPath = ini.GetValue(kJre, u"Library Path");
    s.pairProduct =
        absoluteFrom(context.executableFolder, ini.GetValue(kApplication, u"Pair Product"));
    s.pairReturnCode = isYes(ini.GetValue(kApplication, u"Pair Return Code"));
    const WideString splash = ini.GetValue(kApplication, u"Splash Screen");
    if (!splash.isEmpty())
        s.splashScreen = absoluteFrom(context.executableFolder, splash);
    s.restartCode = exitCodeOf(ini.GetValue(kApplication, u"Restart Code"));
    readStopCall(ini, s);
    // A 32-bit launcher hosts 32-bit runtimes itself and never hands over: a paired copy
    // whose INI file names a paired program (one copied from its partner's) would otherwise
    // start itself again and again.
    request.pairedProgramAvailable = !s.pairProduct.isEmpty() && sizeof(void*) == 8;
    return s;
}

bool configuredAsService(const ProcessContext& context) {
    return !context.iniPath.isEmpty() && isReadableQuietly(context.iniPath) &&
           IniFile(context.iniPath).GetValue(kApplication, u"Application Type") == u"service";
}

JvmSettings readJvmSettings(const ProcessContext& context) {
    const IniFile ini(context.iniPath);
    JvmSettings s;
    s.classPath = ini.GetValue(u"Class Path", u"Class Path");
    s.embeddedJar = isYes(ini.GetValue(kApplication, u"Embedded Jar"));
    s.vmParameters = ini.GetValue(kJre, u"Virtual Machine Parameters");
    s.outputFile = ini.GetValue(kApplication, u"Output File");
    s.errorFile = ini.GetValue(kApplication, u"Error File");
    s.leadingArguments = ini.GetValue(kApplication, u"Leading Cmd");
    s.extraArguments = ini.GetValue(kApplication, u"Cmd");
    s.stopArguments = ini.GetValue(kApplication, u"Stop Parameters");
    s.classDataSharing = equalsIgnoringAsciiCase(ini.GetValue(kJre, u"Class Data Sharing"), "auto");
    // Elevated, the user's variable is never read (the machine's own value included).
    if (!context.elevated)
        s.javaOptionsVariable = platform::wholeEnvironmentVariable(u"JDK_JAVA_OPTIONS");
    return s;
}

void saveJrePath(const Settings& settings, const ProcessContext& context,
                 const WideString& runtimeFolder) {
    const WideString section(kJre), key(u"JRE Path");
    WideString path;
    if (platform::isNtFamily() && !settings.isService && context.elevated) {
        if (!writeProtectedJrePath(settings, context.executablePath, runtimeFolder))
            trace(u"settings: the chosen folder cannot be remembered for all users");
        if (!settings.pairProduct.isEmpty())
            writeProtectedJrePath(settings, settings.pairProduct, runtimeFolder);
        return;
    }
    // Where a per-user file is defined the folder is remembered there, also without a paired
    // executable: otherwise the dialog would come back at every start.
    if (platform::isNtFamily() && !settings.isService &&
        perUserIniPath(settings, context.executablePath, true, path)) {
        PlainIniFile(path).SetValue(section, key, runtimeFolder);
        WideString pairedIni;
        if (!settings.pairProduct.isEmpty() && iniPathFor(settings.pairProduct, pairedIni) &&
            perUserIniPath(settings, settings.pairProduct, true, path))
            PlainIniFile(path).SetValue(section, key, runtimeFolder);
        return;
    }
    if (iniPathFor(settings.pairProduct, path) && !settings.pairProduct.isEmpty())
        PlainIniFile(path).SetValue(section, key, runtimeFolder);
}

} // namespace noviq
