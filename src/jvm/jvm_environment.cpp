// The process environment the JVM is loaded into, and the option list it is created with.
#include "common/ini_file.h"
#include "common/messages.h"
#include "common/path_utils.h"
#include "common/text.h"
#include "jre/jvm_library.h"
#include "jvm/jvm_options.h"
#include "launcher/launcher.h"
#include "platform/environment.h"
#include "platform/path_style.h"

namespace noviq {

namespace {

const char16_t kApplication[] = u"Application";
const char16_t kJre[] = u"Java Runtime Environment";

WideString searchPathReference() {
    return WideString(u"%") + platform::kSearchPathVariable + u"%";
}

} // namespace

void Launcher::prepareEnvironment() {
    // First, so that the settings expanded below may name these variables.
    publishJvmEnvironment(jvmLibraryPath);
    const char16_t list = platform::kListSeparator;

    if (!libraryPath.isEmpty()) {
        libraryPath += list;
        WideString executable;
        if (modulePath(executable))
            libraryPath += executable.Left(executable.ReverseFind(platform::kPathSeparator) + 1);
        libraryPath += list;
        libraryPath += u".";
        libraryPath += list;
        libraryPath += searchPathReference(); // the search path before it is rebuilt below
        libraryPath += list;
        libraryPath += runtimeLibraryFolder(jvmLibraryPath);
        libraryPath = expandEnvironment(libraryPath);
        jvmOptions.add(narrow(u"-Djava.library.path=" + libraryPath));
    }

    WideString searchPath;
    if (!systemPath.isEmpty()) {
        searchPath = systemPath;
        if (systemPath.last() != list)
            searchPath += list;
    }
    searchPath += searchPathReference();
    searchPath += list;
    searchPath += runtimeProgramFolder(jvmLibraryPath);
    platform::setEnvironmentVariable(platform::kSearchPathVariable, expandEnvironment(searchPath));
}

bool Launcher::buildJvmOptions() {
    WideString settingsPath;
    if (!iniPath(settingsPath))
        return false;
    const IniFile settings(settingsPath);
    const PathConventions conventions = PathConventions::current();

    WideString executable;
    const bool haveExecutable = modulePath(executable);
    const WideString executableFolder = withoutLastComponent(executable);

    StringList entries;
    splitAtSeparator(settings.GetValue(u"Class Path", u"Class Path"),
                     WideString(&conventions.listSeparator, 1), entries);
    WideString classPath = assembleClassPath(entries, executableFolder, conventions);

    // The executable itself can carry the application as a JAR archive appended to it.
    if (equalsIgnoringAsciiCase(settings.GetValue(kApplication, u"Embedded Jar"), "Yes")) {
        if (!classPath.isEmpty() && classPath.last() != conventions.listSeparator)
            classPath += conventions.listSeparator;
        if (haveExecutable)
            classPath += executable;
    }
    if (classPath.isEmpty()) {
        ReportMessage(MessageId::ClassPathMissing);
        return false;
    }

    StringList options;
    options.add(u"-Djava.class.path=" + classPath);
    for (const WideString& written :
         splitVmParameters(settings.GetValue(kJre, u"Virtual Machine Parameters"))) {
        const WideString token = applyMemoryRule(unquote(written), MemoryStatus::current());
        if (token.Left(4) == u"-Xss")
            javaThreadStackSize = parseByteSize(token.Mid(4));
        options.add(token);
    }
    // Expanded only now: a %NAME% inside a memory token is not seen by the memory rule.
    for (const WideString& option : options)
        jvmOptions.add(narrow(expandEnvironment(option)));

    outputFile = settings.GetValue(kApplication, u"Output File");
    if (!outputFile.isEmpty())
        outputFile = expandEnvironment(outputFile);
    errorFile = settings.GetValue(kApplication, u"Error File");
    if (!errorFile.isEmpty())
        errorFile = expandEnvironment(errorFile);

    extraArguments = settings.GetValue(kApplication, u"Cmd");
    if (!extraArguments.isEmpty()) {
        extraArguments = expandEnvironment(extraArguments);
        StringList tokens;
        tokenizeCommandLine(extraArguments, tokens);
        for (const WideString& token : tokens)
            if (!token.isEmpty())
                arguments.add(token);
    }
    return true;
}

} // namespace noviq
