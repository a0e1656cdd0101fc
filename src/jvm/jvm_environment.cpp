// The process environment the JVM is loaded into, and the option list it is created with.
#include "common/messages.h"
#include "common/path_utils.h"
#include "common/text.h"
#include "jre/jvm_library.h"
#include "jvm/jvm_options.h"
#include "platform/environment.h"
#include "platform/path_style.h"

namespace noviq {

namespace {

WideString searchPathReference() {
    return WideString(u"%") + platform::kSearchPathVariable + u"%";
}

} // namespace

NarrowString prepareJvmEnvironment(const WideString& jvmLibraryPath, const WideString& libraryPath,
                                   const WideString& systemPath,
                                   const WideString& executableFolder) {
    // First, so that the settings expanded below may name these variables.
    publishJvmEnvironment(jvmLibraryPath);
    const char16_t list = platform::kListSeparator;

    NarrowString libraryPathOption;
    if (!libraryPath.isEmpty()) {
        WideString folders = libraryPath;
        folders += list;
        folders += executableFolder;
        folders += list;
        folders += u".";
        folders += list;
        folders += searchPathReference(); // the search path before it is rebuilt below
        folders += list;
        folders += runtimeLibraryFolder(jvmLibraryPath);
        libraryPathOption = narrow(u"-Djava.library.path=" + expandEnvironment(folders));
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
    return libraryPathOption;
}

std::optional<JvmOptions> buildJvmOptions(const JvmSettings& settings,
                                          const WideString& executablePath,
                                          const NarrowString& libraryPathOption) {
    const PathConventions conventions = PathConventions::current();
    StringList entries;
    splitAtSeparator(settings.classPath, WideString(&conventions.listSeparator, 1), entries);
    WideString classPath =
        assembleClassPath(entries, withoutLastComponent(executablePath), conventions);

    // The executable itself can carry the application as a JAR archive appended to it.
    if (settings.embeddedJar) {
        if (!classPath.isEmpty() && classPath.last() != conventions.listSeparator)
            classPath += conventions.listSeparator;
        classPath += executablePath;
    }
    if (classPath.isEmpty()) {
        ReportMessage(MessageId::ClassPathMissing);
        return std::nullopt;
    }

    JvmOptions result;
    if (!libraryPathOption.isEmpty())
        result.options.add(libraryPathOption);
    StringList options;
    options.add(u"-Djava.class.path=" + classPath);
    for (const WideString& written : splitVmParameters(settings.vmParameters)) {
        const WideString token = applyMemoryRule(unquote(written), MemoryStatus::current());
        if (token.Left(4) == u"-Xss")
            result.stackSize = parseByteSize(token.Mid(4));
        options.add(token);
    }
    // Expanded only now: a %NAME% inside a memory token is not seen by the memory rule.
    for (const WideString& option : options)
        result.options.add(narrow(expandEnvironment(option)));

    if (!settings.outputFile.isEmpty())
        result.outputFile = expandEnvironment(settings.outputFile);
    if (!settings.errorFile.isEmpty())
        result.errorFile = expandEnvironment(settings.errorFile);

    if (!settings.extraArguments.isEmpty()) {
        StringList tokens;
        tokenizeCommandLine(expandEnvironment(settings.extraArguments), tokens);
        for (const WideString& token : tokens)
            if (!token.isEmpty())
                result.extraArguments.add(token);
    }
    return result;
}

} // namespace noviq
