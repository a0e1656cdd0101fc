// The launcher's INI settings: where the files are, what each key sets, and the write-back
// of a runtime folder chosen by the user.
#include "common/ini_file.h"
#include "common/messages.h"
#include "common/path_utils.h"
#include "common/text.h"
#include "launcher/launcher.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/path_style.h"
#include "platform/process.h"

namespace noviq {

namespace {

const char16_t kApplication[] = u"Application";
const char16_t kJre[] = u"Java Runtime Environment";
const char16_t kProduct[] = u"Product Information";

// The INI file of an executable: its path up to and including the last ".", then "ini".
// Where executables may lack an extension, a file name without "." gets ".ini" appended.
bool iniPathFor(const WideString& executable, WideString& path) {
    const int32_t nameStart = executable.ReverseFind(platform::kPathSeparator) + 1;
    const int32_t dot = executable.ReverseFind(u'.');
    if (platform::kExecutablesMayLackExtension && dot < nameStart) {
        path = executable + u".ini";
        return true;
    }
    if (dot < 0)
        return false;
    path = executable.Left(dot + 1) + u"ini";
    return true;
}

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

bool isYes(const WideString& value) {
    return equalsIgnoringAsciiCase(value, "Yes");
}

} // namespace

bool Launcher::iniPath(WideString& path) {
    WideString executable;
    if (!modulePath(executable))
        return false;
    return iniPathFor(executable, path);
}

bool Launcher::perUserIniPath(const WideString& executablePath, bool create, WideString& path) {
    // Without a per-user base folder there is no per-user file: a path built from nothing
    // would land at the root of the current drive, or below the current directory.
    const WideString base = platform::perUserConfigFolder();
    if (base.isEmpty())
        return false;
    const WideString separator(&platform::kPathSeparator, 1);
    const WideString codeFolder =
        base + separator + folderNameOf(productName) + separator + productCode;
    WideString fileName =
        executablePath.Mid(executablePath.ReverseFind(platform::kPathSeparator) + 1);
    const int32_t dot = fileName.ReverseFind(u'.');
    if (dot >= 0)
        fileName = fileName.Left(dot);
    path = codeFolder + separator + fileName + u".ini";
    // Every missing folder is made, the per-user base included (a fresh account may have
    // no configuration folder yet); a failure shows when the file is written.
    if (create)
        createParentFolders(path);
    return true;
}

bool Launcher::readSettings() {
    WideString mainIni;
    if (!iniPath(mainIni))
        return false;
    const IniFile ini(mainIni);
    const PlainIniFile identity(mainIni);

    productCode = identity.GetValue(kProduct, u"Product Code");
    productName = identity.GetValue(kProduct, u"Product Name");

    versionRange = JavaVersionRange(ini.GetValue(kJre, u"Minimum Version"),
                                    ini.GetValue(kJre, u"Maximum Version"));

    if (ini.GetValue(kApplication, u"Application Type") == u"service") {
        isService = true;
        omitServiceName = !ini.GetValue(kApplication, u"Omit Service Name").isEmpty();
    }

    splitAtSeparator(ini.GetValue(kJre, u"Preferred versions"), u";", preferredVersions);

    // A folder the user chose is remembered per user; once that file exists it decides,
    // even when its value is empty. Services always use the main file.
    bool fromPerUserFile = false;
    if (platform::isNtFamily() && !isService) {
        WideString executable, perUser;
        if (modulePath(executable) && perUserIniPath(executable, false, perUser) &&
            perUser.length() < 260 && platform::firstFileExists(perUser)) {
            jrePath = PlainIniFile(perUser).GetValue(kJre, u"JRE Path");
            fromPerUserFile = true;
        }
    }
    if (!fromPerUserFile)
        jrePath = ini.GetValue(kJre, u"JRE Path");

    const WideString type = ini.GetValue(kJre, u"JVM Type");
    jvmType = type == u"server"         ? JvmType::Server
              : type == u"favor_server" ? JvmType::FavorServer
                                        : JvmType::Default;

    const WideString source = ini.GetValue(kJre, u"JVM Source");
    if (source.isEmpty()) {
        preferJdk = preferJre = true;
    } else {
        preferJdk = source == u"favor_JDK" || source == u"only_JDK";
        preferJre = source == u"favor_JRE" || source == u"only_JRE";
        searchBothKinds = source == u"favor_JDK" || source == u"favor_JRE";
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
            jrockitAllowed = row.jrockitAllowed;
            sunAllowed = row.sunAllowed;
            ibmAllowed = row.ibmAllowed;
            jrockitPreferred = row.jrockitPreferred;
            sunPreferred = row.sunPreferred;
            ibmPreferred = row.ibmPreferred;
            break;
        }
    }

    mainClass = ini.GetValue(kJre, u"Main Class");
    if (mainClass.isEmpty()) {
        ReportMessage(MessageId::MainClassMissing);
        return false;
    }
    mainClass.Replace(u'.', u'/');

    failureCheck = isYes(ini.GetValue(kApplication, u"Failure Check"));
    overrideWorkingDir = isYes(ini.GetValue(kApplication, u"Override WorkingDir"));
    systemPath = ini.GetValue(kJre, u"System Path");
    libraryPath = ini.GetValue(kJre, u"Library Path");
    pairProduct = ini.GetValue(kApplication, u"Pair Product");
    pairReturnCode = isYes(ini.GetValue(kApplication, u"Pair Return Code"));
    return true;
}

void Launcher::saveJrePath(const WideString& runtimeFolder) {
    const WideString section(kJre), key(u"JRE Path");
    WideString executable, path;
    if (platform::isNtFamily() && !isService) {
        // The folder is remembered per user, also without a paired executable: otherwise
        // the dialog would come back at every start.
        if (modulePath(executable) && perUserIniPath(executable, true, path))
            PlainIniFile(path).SetValue(section, key, runtimeFolder);
        WideString pairedIni;
        if (!pairProduct.isEmpty() && iniPathFor(pairProduct, pairedIni) &&
            perUserIniPath(pairProduct, true, path))
            PlainIniFile(path).SetValue(section, key, runtimeFolder);
        return;
    }
    if (iniPathFor(pairProduct, path) && !pairProduct.isEmpty())
        PlainIniFile(path).SetValue(section, key, runtimeFolder);
}

} // namespace noviq
