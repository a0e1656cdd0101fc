// The rules that turn settings into the JVM's environment and option strings: class path
// entries, virtual-machine parameter tokens, heap and stack sizes from the machine's
// memory, and %NAME% expansion.
#pragma once

#include <cstdint>
#include <optional>

#include "base/basic_string.h"
#include "base/string_list.h"
#include "platform/jvm_conventions.h"

namespace noviq {

// The settings that shape the JVM's options and the application's streams, as written in
// the INI file.
struct JvmSettings {
    WideString classPath;     // list-separated entries
    bool embeddedJar = false; // the executable carries the application as a JAR
    WideString vmParameters;
    WideString outputFile;
    WideString errorFile;
    WideString leadingArguments;   // "Leading Cmd"
    WideString extraArguments;     // "Cmd"
    WideString stopArguments;      // "Stop Parameters"
    bool classDataSharing = false; // "Class Data Sharing" is "auto"
    // JDK_JAVA_OPTIONS, taken before the parameters as java takes it; never read for an
    // elevated start, where any program of the user could have set it.
    std::optional<WideString> javaOptionsVariable;
};

// What the JVM is created with, and what the launcher does around it.
struct JvmOptions {
    NarrowStringList options; // library path, class path, then the VM parameters
    StringList classPath;     // the entries of the class path option
    uint64_t stackSize = 0;   // from the last -Xss, 0 when none is given
    WideString outputFile;    // expanded; empty: the JVM's own stream
    WideString errorFile;
    StringList leadingArguments; // passed to main before the command line's
    StringList extraArguments;   // passed to main after the command line's
    StringList stopArguments;    // passed to a service's stop method
    // The launcher opens the stream files itself, never through a link, and hands the JVM the
    // opened file: an elevated start, whose user may have put a link where the file goes.
    bool streamFilesOpenedHere = false;
};

// Publishes the runtime's variables, then rebuilds the program search path from "System
// Path", and returns the library path option when "Library Path" is set (empty otherwise).
// The settings are expanded after the publication, so they may name those variables.
// Elevated, the variables the JVM takes options from are removed unless they hold the
// machine's own value. Runs before the JVM library is loaded, whose C library may take its
// own copy of the environment then.
NarrowString prepareJvmEnvironment(const WideString& jvmLibraryPath, const WideString& libraryPath,
                                   const WideString& systemPath, const WideString& executableFolder,
                                   bool elevated);

// An elevated start's environment without the user's own JVM option variables (only the
// machine's own values stay): the JVM would take options, agents included, from them.
void removeUserJvmOptionVariables();

// The options after the library path option. Reports and returns nothing when the class
// path is empty or the parameters or JDK_JAVA_OPTIONS cannot be taken (takeJavaOptions).
std::optional<JvmOptions> buildJvmOptions(const JvmSettings& settings,
                                          const WideString& executablePath,
                                          const NarrowString& libraryPathOption);

// The "sun.java.command" property the java command sets, through which the JDK's tools (jps,
// jcmd) name a running application: the main class with dots, then each argument after one
// space. Nothing when the options set the property themselves.
std::optional<NarrowString> javaCommandOption(const NarrowStringList& options,
                                              const WideString& mainClass,
                                              const StringList& arguments);

// How paths and lists are written; the running system's by default, another one in tests.
struct PathConventions {
    char16_t pathSeparator;
    char16_t listSeparator;
    platform::AbsolutePathForm absoluteForm;

    static PathConventions current();
};

// Replaces %NAME% references by the variables' values; the text stays as it was when the
// system cannot expand it.
WideString expandEnvironment(const WideString& text);

// The runtime folders named in the environment, from the path of the JVM library.
WideString runtimeLibraryFolder(const WideString& jvmLibraryPath);
WideString runtimeProgramFolder(const WideString& jvmLibraryPath);

// An entry taken as written, without looking at the file system: absolute and no "*".
bool isWrittenAbsolute(const WideString& entry, const PathConventions& conventions);

// What a class path entry is searched as: the pattern for the directory search and the
// text put before every name it finds.
struct ClassPathSearch {
    WideString pattern;
    WideString namePrefix;
};
ClassPathSearch classPathSearchFor(const WideString& entry, const WideString& executableFolder,
                                   const PathConventions& conventions);

// Appends "<prefix><name><list separator>" for every name the search finds, in the order
// the system returns them; nothing when nothing matches.
void resolveClassPathEntry(const WideString& entry, const WideString& executableFolder,
                           const PathConventions& conventions, WideString& classPath);

// The class path text of the settings' entries (already split): each entry is expanded,
// then taken as written or resolved; every entry found ends with the list separator.
WideString assembleClassPath(const StringList& entries, const WideString& executableFolder,
                             const PathConventions& conventions);

// Splits "Virtual Machine Parameters" at spaces outside double-quoted stretches.
StringList splitVmParameters(const WideString& text);

// Removes the double quotes of quoted stretches; a doubled closing quote leaves one quote.
WideString unquote(const WideString& token);

struct MemoryStatus {
    uint64_t totalPhysicalBytes = 0;
    uint64_t availableVirtualBytes = 0;

    static MemoryStatus current();
};

// "-Xms", "-Xmx" or "-Xss" ending in P/p (physical memory) or T/t (free address space):
// percent[:minimum MB[:maximum MB]] of that base, written back as kilobytes. Any other
// token is returned unchanged.
WideString applyMemoryRule(const WideString& token, const MemoryStatus& memory);

// The bytes a "-Xss" value names: digits with an optional K, M or G unit; 0 when the text
// does not begin with a digit or holds a ":".
uint64_t parseByteSize(const WideString& text);

} // namespace noviq
