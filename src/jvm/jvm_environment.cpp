// The process environment the JVM is loaded into, and the option list it is created with.
#include "common/messages.h"
#include "common/path_utils.h"
#include "common/text.h"
#include "common/trace.h"
#include "jre/jvm_library.h"
#include "jvm/java_options.h"
#include "jvm/jvm_options.h"
#include "platform/console.h"
#include "platform/environment.h"
#include "platform/jvm_conventions.h"
#include "platform/path_style.h"
#include "platform/registry.h"

namespace noviq {

namespace {

// Folder lists hold only absolute folders: Java and the system read an empty element, "."
// or any relative one from the current folder, from which nothing may be loaded.
void addFolder(StringList& folders, const WideString& folder) {
    if (isAbsolutePath(folder))
        folders.add(folder);
}

// The elements of a list; with a folder, relative ones are taken from it, else left out.
void addFolders(StringList& folders, const WideString& list, const WideString& relativeTo) {
    StringList elements;
    splitAtSeparator(list, WideString(&platform::kListSeparator, 1), elements);
    for (const WideString& element : elements)
        addFolder(folders, relativeTo.isEmpty() || element.isEmpty() || element == u"."
                               ? element
                               : absoluteFrom(relativeTo, element));
}

WideString joinedWith(const StringList& elements, char16_t separator) {
    WideString text;
    for (const WideString& element : elements) {
        if (!text.isEmpty())
            text += separator;
        text += element;
    }
    return text;
}

WideString joined(const StringList& elements) {
    return joinedWith(elements, platform::kListSeparator);
}

// "Cmd", "Leading Cmd" and "Stop Parameters": split as a command line is, empty arguments
// left out.
StringList splitArguments(const WideString& text) {
    StringList arguments;
    if (text.isEmpty())
        return arguments;
    StringList tokens;
    tokenizeCommandLine(expandEnvironment(text), tokens);
    for (const WideString& token : tokens)
        if (!token.isEmpty())
            arguments.add(token);
    return arguments;
}

} // namespace

// JAVA_TOOL_OPTIONS and _JAVA_OPTIONS are read by the JVM itself, JDK_AOT_VM_OPTIONS (and
// its underscore form) by the JVM that creates an ahead-of-time cache, JDK_JAVA_OPTIONS by
// the java command: an elevated process inherits the user's own variables too (Windows merges
// HKCU\Environment into it, sudo -E passes them on), and "-javaagent:" in one of them would
// run the user's code with the start's rights. Only the machine's own value is kept.
void removeUserJvmOptionVariables() {
    platform::RegistryKey machine;
    const bool machineKey =
        machine.open(platform::RegistryView::Native,
                     u"SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment");
    for (const char16_t* name : {u"JAVA_TOOL_OPTIONS", u"_JAVA_OPTIONS", u"JDK_JAVA_OPTIONS",
                                 u"JDK_AOT_VM_OPTIONS", u"_JDK_AOT_VM_OPTIONS"}) {
        const std::optional<WideString> value = platform::wholeEnvironmentVariable(name);
        if (!value)
            continue;
        WideString machineValue;
        if (machineKey && machine.readText(name, machineValue) && machineValue == *value) {
            trace(u"environment: %s kept: the machine's own value", WideString(name));
            continue;
        }
        platform::removeEnvironmentVariable(name);
        trace(u"environment: %s removed: not the machine's own, and this start is elevated",
              WideString(name));
    }
}

NarrowString prepareJvmEnvironment(const WideString& jvmLibraryPath, const WideString& libraryPath,
                                   const WideString& systemPath, const WideString& executableFolder,
                                   bool elevated) {
    if (elevated)
        removeUserJvmOptionVariables();
    // First, so that the settings expanded below may name these variables.
    publishJvmEnvironment(jvmLibraryPath);
    const WideString searchPathBefore =
        platform::wholeEnvironmentVariable(platform::kSearchPathVariable).value_or(WideString());

    // Where the JVM's own default would end with the current folder, the launcher always
    // gives the list itself.
    NarrowString libraryPathOption;
    if (!libraryPath.isEmpty() || platform::kJvmDefaultLibraryPathHasCurrentFolder) {
        StringList folders;
        addFolders(folders, expandEnvironment(libraryPath), executableFolder);
        addFolder(folders, executableFolder);
        addFolders(folders, searchPathBefore, WideString());
        addFolder(folders, runtimeLibraryFolder(jvmLibraryPath));
        libraryPathOption = narrow(u"-Djava.library.path=" + joined(folders));
    }

    StringList searchPath;
    addFolders(searchPath, expandEnvironment(systemPath), executableFolder);
    addFolders(searchPath, searchPathBefore, WideString());
    addFolder(searchPath, runtimeProgramFolder(jvmLibraryPath));
    platform::setEnvironmentVariable(platform::kSearchPathVariable, joined(searchPath));
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
    // The entries are expanded already; the names a search found are taken as they are.
    // Java reads an empty element, "." or a relative one from the current folder: the
    // option holds only absolute ones.
    StringList elements;
    splitAtSeparator(classPath, WideString(&conventions.listSeparator, 1), elements);
    for (const WideString& element : elements)
        if (isAbsolutePath(element))
            result.classPath.add(element);
    result.options.add(
        narrow(u"-Djava.class.path=" + joinedWith(result.classPath, conventions.listSeparator)));
    // JDK_JAVA_OPTIONS comes first and is taken as java takes it (no %NAME%, no memory
    // rule); so is what an argument file holds. Java says on standard error that it read it.
    const WideString folder = withoutLastComponent(executablePath);
    const FileReader readFile = [](const WideString& path) { return readArgumentFile(path); };
    StringList options;
    if (settings.javaOptionsVariable) {
        const NarrowString note =
            narrow(FormatById(MessageId::PickedUpVariable, WideString(u"JDK_JAVA_OPTIONS"),
                              *settings.javaOptionsVariable));
        platform::writeStandardError(note.c_str(), note.length());
        const std::optional<StringList> tokens =
            splitJavaOptionsVariable(*settings.javaOptionsVariable);
        if (!tokens) {
            ReportError(LoadMessage(MessageId::UnmatchedQuoteInVariable),
                        WideString(u"JDK_JAVA_OPTIONS"));
            return std::nullopt;
        }
        const std::optional<StringList> taken =
            takeJavaOptions(*tokens, OptionSource::Variable, folder, readFile);
        if (!taken)
            return std::nullopt;
        options = *taken;
    }
    // Expanded after the memory rule: a %NAME% inside a memory token is not seen by it.
    StringList written;
    for (const WideString& token : splitVmParameters(settings.vmParameters))
        written.add(expandEnvironment(applyMemoryRule(unquote(token), MemoryStatus::current())));
    const std::optional<StringList> parameters =
        takeJavaOptions(written, OptionSource::Parameters, folder, readFile);
    if (!parameters)
        return std::nullopt;
    for (const WideString& option : *parameters)
        options.add(option);
    for (const WideString& option : options) {
        if (option.Left(4) == u"-Xss")
            result.stackSize = parseByteSize(option.Mid(4));
        result.options.add(narrow(option));
    }

    if (!settings.outputFile.isEmpty())
        result.outputFile = expandEnvironment(settings.outputFile);
    if (!settings.errorFile.isEmpty())
        result.errorFile = expandEnvironment(settings.errorFile);

    result.leadingArguments = splitArguments(settings.leadingArguments);
    result.extraArguments = splitArguments(settings.extraArguments);
    result.stopArguments = splitArguments(settings.stopArguments);
    return result;
}

std::optional<NarrowString> javaCommandOption(const NarrowStringList& options,
                                              const WideString& mainClass,
                                              const StringList& arguments) {
    for (const NarrowString& option : options)
        if (option.startsWith("-Dsun.java.command="))
            return std::nullopt;
    WideString command = mainClass;
    command.Replace(u'/', u'.');
    for (const WideString& argument : arguments)
        command += u" " + argument;
    return narrow(u"-Dsun.java.command=" + command);
}

} // namespace noviq
