// How the JVM's environment and option values are written on this system: list separators,
// the program search path variable, which runtime folders go where, and which class path
// entries count as absolute.
#pragma once

namespace noviq::platform {

// Separates the entries of the class path, the native library path and the search path.
extern const char16_t kListSeparator; // ';' on Windows, ':' on Linux

// The variable the system searches for programs (and, on Windows, libraries).
extern const char16_t* const kSearchPathVariable; // "Path" on Windows, "PATH" on Linux

// The runtime folders named in the environment. The library folder derives from the folder
// two levels above the JVM library (Windows: <home>\bin, Linux: <home>/lib or, for Java 8,
// <home>/lib/amd64): that folder itself (null) or its sibling of the given name. The program
// folder is that folder itself (null) or the named sub-folder of the runtime's home.
extern const char16_t* const kRuntimeLibraryFolderSibling; // "lib" on Windows, null on Linux
extern const char16_t* const kRuntimeProgramFolderSibling; // null on Windows, "bin" on Linux

// The runtime's splash screen library, in the folder two levels above the JVM library.
extern const char16_t* const kSplashLibraryName; // "splashscreen.dll", "libsplashscreen.so"

// The JVM's own default java.library.path ends with the current folder (Windows): the
// launcher then always passes one of its own.
extern const bool kJvmDefaultLibraryPathHasCurrentFolder;

enum class AbsolutePathForm {
    // "C:..." or "\\server...": anything else, "\lib\a.jar" included, is relative and is
    // appended to the executable's folder as written.
    DriveOrUnc,
    // "/...": anything else is relative and is joined to the executable's folder with one
    // separator.
    LeadingSeparator,
};
extern const AbsolutePathForm kAbsolutePathForm;

} // namespace noviq::platform
