// Which runtime the launcher picks, seen from outside: INI settings, registry keys (Wine) or
// runtime folders (Linux), and folders beside the executable. Every JVM library is a text
// file, so the launcher names the chosen one in its "Failed to load Java VM library" line.
// A 32-bit runtime hands over to the "Pair Product" program instead: started without
// arguments, in the launcher's environment and current directory, its exit code returned on
// request.
#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"

namespace noviq::test {
namespace {

namespace fs = std::filesystem;

// The library path the launcher tried to load, or "not found" / the whole output.
std::string chosenLibrary(const RunResult& result) {
    std::smatch match;
    static const std::regex loadFailed("Failed to load Java VM library: (.*) \\(errno = \\d+\\)");
    if (std::regex_search(result.out, match, loadFailed))
        return match[1];
    if (result.out.find("(JRE) was not found") != std::string::npos)
        return "not found";
    return "unexpected output: " + result.out;
}

// Keys of the runtime section, then any other sections.
std::string ini(const std::string& settings) {
    return "[Java Runtime Environment]\nMain Class=Main\n" + settings + "\n";
}

const std::string kAny = "Minimum Version=any\nMaximum Version=any\n";

// ---- Windows, under Wine ----

enum Row { SunJdk, SunJre, RockitJre, RockitJdk, IbmJre };
const char* const kVendorKeys[] = {
    "JavaSoft\\Java Development Kit", "JavaSoft\\Java Runtime Environment",
    "JRockit\\Java Runtime Environment", "JRockit\\Java Development Kit",
    "IBM\\Java2 Runtime Environment"};

// How "JavaHome" is stored: as text, with a trailing backslash, unexpanded, as binary data
// with more text after a zero character, or not at all / empty.
enum class Value { Sz, Slashed, ExpandSz, BinaryWithTail, Missing, Empty };

struct Key {
    Row row;
    std::string version;
    std::string home; // folder under the scenario
    Value value = Value::Sz;
    bool wow32 = false;
};

// hex(2) of a REGEDIT4 file holds 8-bit text; hex holds the bytes as they are.
std::string hexValue(const char* type, const std::string& bytes) {
    std::string hex = type;
    char byte[8];
    for (char c : bytes) {
        snprintf(byte, sizeof byte, "%02x,", static_cast<unsigned char>(c));
        hex += byte;
    }
    hex.pop_back();
    return hex;
}

std::string utf16(const std::string& ascii) {
    std::string out;
    for (char c : ascii)
        out += std::string(1, c) + '\0';
    return out;
}

std::string javaHomeData(const std::string& home, Value value) {
    switch (value) {
    case Value::Sz:
    case Value::Slashed:
        return "\"" + replaceAll(home + (value == Value::Slashed ? "\\" : ""), "\\", "\\\\") + "\"";
    case Value::ExpandSz:
        return hexValue("hex(2):", home + '\0');
    case Value::BinaryWithTail:
        return hexValue("hex:", utf16(home) + std::string(2, '\0') + utf16("\\tail"));
    case Value::Empty:
        return "\"\"";
    case Value::Missing:
        break;
    }
    return "";
}

// Removes every vendor key, old and new, of both roots and views: the keys are shared by the
// whole prefix.
std::string clearedVendorKeys() {
    std::string reg = "REGEDIT4\n\n";
    for (const char* root : {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER"})
        for (const char* view : {"", "Wow6432Node\\"})
            for (const char* vendor : {"JavaSoft", "JRockit", "IBM", "Eclipse Adoptium",
                                       "AdoptOpenJDK", "Microsoft\\JDK", "Azul Systems", "Semeru"})
                reg += std::string("[-") + root + "\\Software\\" + view + vendor + "]\n";
    return reg;
}

std::string registryFile(const fs::path& folder, const std::vector<Key>& keys) {
    std::string reg = clearedVendorKeys();
    for (const Key& key : keys) {
        reg += std::string("\n[HKEY_LOCAL_MACHINE\\Software\\") +
               (key.wow32 ? "Wow6432Node\\" : "") + kVendorKeys[key.row] + "\\" + key.version +
               "]\n";
        if (key.value != Value::Missing)
            reg +=
                "\"JavaHome\"=" + javaHomeData(toWindowsPath(folder / key.home), key.value) + "\n";
    }
    return reg;
}

std::string dll(const std::string& folder, const std::string& flavour = "client") {
    return folder + "/bin/" + flavour + "/jvm.dll";
}

// A list written as a call keeps a table row compact.
template <class... T> std::vector<std::common_type_t<T...>> listOf(T... items) {
    return {items...};
}

// A key of today's installers, with "Modern Runtimes=yes".
struct Install {
    std::string key; // below Software, with the version key and what lies below it
    std::string value;
    std::string home; // under the scenario; "" writes no value; "missing/..." no folder
    std::string root = "HKEY_LOCAL_MACHINE";
    std::string release = "";
    bool jdk8 = false; // the library lies in the home's jre folder
};

struct WineCase {
    const char* name;
    std::string settings;  // %RT% is the runtimes' folder
    std::vector<Key> keys; // each home holds a client library (in jre\ for a JDK)
    // The library under the scenario folder, "not found", or a part of the output.
    std::string expected;
    std::vector<std::string> files = {}; // more text files; "app/app.exe" is the launcher
    std::vector<Install> installs = {};
    // What the user's own programs can write, which only a start that is not elevated
    // trusts: "JRE Path" (a folder under the scenario) in the per-user file, with "Product
    // Name=Acme" and "Product Code=1" in the settings.
    std::string perUserJrePath = "";
    bool notElevated = false;
};

// The older vendor keys (JavaSoft, JRockit, IBM), and today's installers with "Modern
// Runtimes=yes": every layout, both roots, the 32-bit view, versions from the key name or the
// runtime's release file, keys that lead nowhere; which keys each setting searches and how
// they rank. Preferred versions and version ranges are the unit tables'.
TEST(RuntimeSearchWine, ChoosesByTheSettingsTheRegistryAndTheFolders) {
    NOVIQ_SKIP_WITHOUT_WINE();
    const Key jre17(SunJre, "1.7", "rt/jre17");
    const std::string modern = "Modern Runtimes=yes\n" + kAny;
    const std::vector<Key> none;
    const std::vector<std::string> noFiles;
    const std::vector<Install> perUserInstalls = {
        {"Eclipse Adoptium\\JDK\\17.0.9.9\\hotspot\\MSI", "Path", "t17"},
        {"Microsoft\\JDK\\21.0.1.12\\hotspot\\MSI", "Path", "m21", "HKEY_CURRENT_USER"}};
    const std::string acme = "[Product Information]\nProduct Name=Acme\nProduct Code=1\n";
    const WineCase cases[] = {
        {"newest JavaSoft runtime; JRockit not allowed", kAny,
         listOf(Key(SunJdk, "1.6.0_20", "rt/jdk16"), jre17, Key(RockitJre, "1.8", "rt/rockit18")),
         dll("rt/jre17")},
        {"only_JRE with favor_ibm: keys 2, 3 and 5, highest version",
         kAny + "JVM Source=only_JRE\nVM Provider=favor_ibm",
         listOf(Key(SunJdk, "1.8", "rt/jdk18"), Key(SunJre, "1.6", "rt/jre16"),
                Key(RockitJre, "1.7", "rt/rockit17"), Key(RockitJdk, "1.9", "rt/rockitjdk19"),
                Key(IbmJre, "1.5", "rt/ibm15")),
         dll("rt/rockit17")},
        // A JavaSoft JRE is probed client-first for the order, a JDK server-first.
        {"favor_server: a server JDK before a newer client-first runtime",
         kAny + "JVM Type=favor_server", listOf(Key(SunJdk, "1.6", "rt/jdk16"), jre17),
         dll("rt/jdk16/jre", "server"),
         listOf(dll("rt/jdk16/jre", "server"), dll("rt/jre17", "server"))},
        {"JRE Path without a library is passed over", kAny + "JRE Path=%RT%\\empty", listOf(jre17),
         dll("rt/jre17"), listOf<std::string>("rt/empty/bin/java.dll")},
        {"the executable's folder wins over jre64 and the registry", kAny, listOf(jre17),
         dll("app"),
         listOf("app/bin/java.dll", dll("app"), "app/jre64/bin/java.dll", dll("app/jre64"))},
        {"jre64 beside the executable wins over the registry", kAny, listOf(jre17),
         dll("app/jre64", "server"), listOf("app/jre64/bin/java.dll", dll("app/jre64", "server"))},
        {"a marker without a library falls through to the registry", kAny, listOf(jre17),
         dll("rt/jre17"), listOf("app/bin/java.dll", "app/jre64/bin/java.dll", dll("app/jre64"))},
        {"the 32-bit view needs a paired program", kAny,
         listOf(Key(SunJre, "1.6", "rt/jre16", Value::Sz, true)), "not found"},
        {"the native view wins over the 32-bit view",
         kAny + "[Application]\nPair Product=C:\\pair.exe",
         listOf(Key(SunJre, "1.5", "rt/jre15"), Key(SunJre, "1.7", "rt/jre17", Value::Sz, true)),
         dll("rt/jre15")},
        {"JavaHome unexpanded", kAny, listOf(Key(SunJre, "1.6", "rt/jre16", Value::ExpandSz)),
         dll("rt/jre16")},
        {"JavaHome as binary data, read up to the first zero", kAny,
         listOf(Key(SunJre, "1.6", "rt/jre16", Value::BinaryWithTail)), dll("rt/jre16")},
        {"JavaHome ending in a backslash, missing or empty", kAny,
         listOf(Key(SunJre, "1.6", "rt/jre16", Value::Slashed),
                Key(SunJre, "1.7", "rt/jre17", Value::Missing),
                Key(SunJre, "1.8", "rt/jre18", Value::Empty)),
         dll("rt/jre16")},
        {"today's installers are opt-in", kAny, none, "not found", noFiles,
         listOf(Install{"Eclipse Adoptium\\JDK\\17.0.9.9\\hotspot\\MSI", "Path", "t17"})},
        {"JavaSoft JDK 9+", modern, none, dll("o17"), noFiles,
         listOf(Install{"JavaSoft\\JDK\\17", "JavaHome", "o17"})},
        {"JavaSoft JRE", modern, none, dll("o11"), noFiles,
         listOf(Install{"JavaSoft\\JRE\\11.0.2", "JavaHome", "o11"})},
        {"Temurin", modern, none, dll("t17"), noFiles,
         listOf(Install{"Eclipse Adoptium\\JDK\\17.0.9.9\\hotspot\\MSI", "Path", "t17"})},
        {"Temurin JDK 8", modern, none, dll("t8/jre"), noFiles,
         listOf(Install{"Eclipse Adoptium\\JDK\\8.0.392.8\\hotspot\\MSI", "Path", "t8",
                        "HKEY_LOCAL_MACHINE", "", true})},
        {"AdoptOpenJDK JRE", modern, none, dll("a11"), noFiles,
         listOf(Install{"AdoptOpenJDK\\JRE\\11.0.10.9\\hotspot\\MSI", "Path", "a11"})},
        {"not elevated: Microsoft, per user, wins by version", modern, none, dll("m21"), noFiles,
         perUserInstalls, "", true},
        {"elevated: keys per user are not searched", modern, none, dll("t17"), noFiles,
         perUserInstalls},
        {"not elevated: the per-user JRE Path decides",
         kAny + "JRE Path=%RT%\\custom\n" + acme,
         none,
         dll("rt/planted"),
         listOf(dll("rt/custom"), dll("rt/planted")),
         {},
         "rt/planted",
         true},
        {"elevated: the per-user file is not read",
         kAny + "JRE Path=%RT%\\custom\n" + acme,
         none,
         dll("rt/custom"),
         listOf(dll("rt/custom"), dll("rt/planted")),
         {},
         "rt/planted"},
        {"Zulu: version from the release file",
         "Minimum Version=17.0.5\nMaximum Version=any\nModern Runtimes=YES\n", none, dll("z17"),
         noFiles,
         listOf(Install{"Azul Systems\\Zulu\\zulu-17", "InstallationPath", "z17",
                        "HKEY_LOCAL_MACHINE", "JAVA_VERSION=\"17.0.9\"\n"})},
        {"Zulu: a partial name alone is below the minimum",
         "Minimum Version=17.0.5\nMaximum Version=any\nModern Runtimes=yes\n", none, "not found",
         noFiles, listOf(Install{"Azul Systems\\Zulu\\zulu-17", "InstallationPath", "z17"})},
        {"Semeru counts as IBM's", modern, none, "not found", noFiles,
         listOf(Install{"Semeru\\JDK\\17.0.8.7\\openj9\\MSI", "Path", "s17"})},
        {"Semeru with IBM runtimes allowed", modern + "VM Provider=any\n", none, dll("s17"),
         noFiles, listOf(Install{"Semeru\\JDK\\17.0.8.7\\openj9\\MSI", "Path", "s17"})},
        {"a key without its value, a value naming no folder", modern, none, dll("m11"), noFiles,
         listOf(Install{"Microsoft\\JDK\\25.0.1.8\\hotspot\\MSI", "Path", ""},
                Install{"Microsoft\\JDK\\24.0.1.8\\hotspot\\MSI", "Path", "missing/m24"},
                Install{"Microsoft\\JDK\\11.0.1.8\\hotspot\\MSI", "Path", "m11"})},
        {"the 32-bit view hands over to the paired program",
         modern + "[Application]\nPair Product=C:\\no\\pair.exe\n", none,
         "Failed to start the paired program", noFiles,
         listOf(
             Install{"Wow6432Node\\Eclipse Adoptium\\JDK\\17.0.9.9\\hotspot\\MSI", "Path", "t17"})},
    };
    for (const WineCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScenarioDir dir;
        const fs::path exe = dir.copy(launcherBinary(Build::Windows), "app/app.exe");
        for (const Key& key : c.keys)
            dir.write(dll(key.home + (key.row == SunJdk || key.row == RockitJdk ? "/jre" : "")),
                      "not a library");
        for (const std::string& file : c.files)
            dir.write(file, "not a library");
        std::string reg = registryFile(dir.path(), c.keys);
        for (const Install& install : c.installs) {
            reg += "\n[" + install.root + "\\Software\\" + install.key + "]\n";
            if (!install.home.empty())
                reg += "\"" + install.value + "\"=\"" +
                       replaceAll(toWindowsPath(dir.path() / install.home), "\\", "\\\\") + "\"\n";
            if (!install.home.empty() && install.home.rfind("missing/", 0) != 0)
                dir.write(dll(install.home + (install.jdk8 ? "/jre" : "")), "not a library");
            if (!install.release.empty())
                dir.write(install.home + "/release", install.release);
        }
        importRegistry(reg);
        dir.write("app/app.ini",
                  ini(replaceAll(c.settings, "%RT%", toWindowsPath(dir.path() / "rt"))));
        RunOptions options;
        options.notElevated = c.notElevated;
        options.env = {{"WINRUN_SET_APPDATA", toWindowsPath(dir.path() / "appdata")}};
        if (!c.perUserJrePath.empty())
            dir.write("appdata/Acme/1/app.ini", "[Java Runtime Environment]\nJRE Path=" +
                                                    toWindowsPath(dir.path() / c.perUserJrePath) +
                                                    "\n");

        const RunResult result = run(Build::Windows, exe, options);

        if (c.expected.find('/') == std::string::npos && c.expected != "not found")
            EXPECT_NE(result.out.find(c.expected), std::string::npos) << result.out;
        else
            EXPECT_EQ(chosenLibrary(result), c.expected == "not found"
                                                 ? c.expected
                                                 : toWindowsPath(dir.path() / c.expected));
        EXPECT_EQ(result.exitCode, 0xFFFFFFFFu);
    }
    importRegistry(clearedVendorKeys());
}

// ---- Linux ----

// Runtime folders under NOVIQ_JVM_ROOT are rows of cases/launcher.txt.
// The machine's own runtimes under /usr/lib/jvm. Real libraries load, so the dynamic
// loader's trace names the one chosen.
TEST(RuntimeSearchLinux, FindsTheMachinesRuntimes) {
    if (!fs::exists("/usr/lib/jvm/java-17-openjdk-amd64/lib/server/libjvm.so"))
        GTEST_SKIP() << "no OpenJDK 17 under /usr/lib/jvm";
    ScenarioDir dir;
    const fs::path exe = dir.copy(launcherBinary(Build::Linux), "app");
    dir.write("app.ini", ini("Maximum Version=17"));
    RunOptions options;
    options.env = {{"NOVIQ_JVM_ROOT", ""}, {"LD_DEBUG", "files"}};
    const RunResult result = run(Build::Linux, exe, options);
    std::smatch loaded;
    ASSERT_TRUE(std::regex_search(
        result.err, loaded, std::regex("file=(\\S*libjvm\\.so) \\[0\\];\\s+dynamically loaded by")))
        << result.out;
    EXPECT_EQ(loaded[1].str(), "/usr/lib/jvm/java-17-openjdk-amd64/lib/server/libjvm.so");
}

// ---- The paired program ----

// The paired program's record, waited for: without "Pair Return Code" the launcher does not
// wait for it. Empty when it never appears.
std::string recordOf(const fs::path& file, bool expectStarted) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (expectStarted && !fs::exists(file) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!expectStarted)
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return readFile(file);
}

// The launcher in app/ with the settings given (%PAIR% is the paired program), run from
// work/ with two arguments, which the paired program must not get.
RunResult runPaired(Build build, const ScenarioDir& dir, const std::string& pair,
                    const std::string& settings, RunOptions options) {
    const bool windows = build == Build::Windows;
    const fs::path exe = dir.copy(launcherBinary(build), windows ? "app/app.exe" : "app/app");
    dir.write("app/app.ini", ini(replaceAll(settings, "%PAIR%", pair)));
    fs::create_directories(dir.path() / "work");
    options.args = {"one", "two words"};
    options.workingDirectory = dir.path() / "work";
    return run(build, exe, options);
}

// Where the 32-bit runtime is found.
enum class Source { JrePath, Wow32Key, BesideExecutable };

TEST(PairedExecutableWine, StartsThePairedProgramForA32BitRuntime) {
    NOVIQ_SKIP_WITHOUT_WINE();
    const std::string returnCode = "Pair Product=%PAIR%\nPair Return Code=Yes";
    const struct {
        const char* name;
        Source source;
        std::string application; // keys of [Application]
        std::string library;     // what the runtime's jvm.dll is a copy of ("" for text)
        const char* exitWith;
        bool started;
        uint32_t exitCode;
    } cases[] = {
        {"32-bit JRE Path, full exit code returned", Source::JrePath, returnCode, "pe_i686.dll",
         "0xC0FFEE42", true, 0xC0FFEE42u},
        {"without Pair Return Code: 0 at once", Source::JrePath, "Pair Product=%PAIR%",
         "pe_i686.dll", "7", true, 0},
        {"a paired program that cannot start is a failure", Source::JrePath,
         "Pair Product=C:\\no\\such\\program.exe\nPair Return Code=Yes", "pe_i686.dll", "7", false,
         0xFFFFFFFFu},
        {"the 32-bit registry view pairs without a header test", Source::Wow32Key, returnCode, "",
         "42", true, 42},
        {"the launcher itself is refused, not started again and again", Source::JrePath,
         "Pair Product=app.exe\nPair Return Code=Yes", "pe_i686.dll", "42", false, 0xFFFFFFFFu},
        {"a runtime beside the executable is never paired", Source::BesideExecutable, returnCode,
         "pe_i686.dll", "42", false, 0xFFFFFFFFu},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScenarioDir dir;
        const fs::path program = dir.copy(windowsFixture("winrun.exe"), "pair/exit_with.exe");
        // A DLL of that name beside the launcher must not stand in for the system's.
        dir.copy(windowsFixture("pe_x86_64.dll"), "app/dbghelp.dll");
        const bool beside = c.source == Source::BesideExecutable;
        if (beside)
            dir.write("app/bin/java.dll", "");
        const std::string library = dll(beside ? "app" : "rt/jre");
        if (c.library.empty())
            dir.write(library, "not a library");
        else
            dir.copy(windowsFixture(c.library), library);
        std::vector<Key> keys;
        if (c.source == Source::Wow32Key)
            keys.push_back({SunJre, "1.6.0_45", "rt/jre", Value::Sz, true});
        importRegistry(registryFile(dir.path(), keys));

        const fs::path record = dir.path() / "record.txt";
        RunOptions options;
        // Wine prefers its own Dbghelp; as on Windows, a DLL beside the program comes first
        // unless the system folder is asked for explicitly.
        options.env = {{"EXIT_WITH_CODE", c.exitWith},
                       {"EXIT_WITH_RECORD", toWindowsPath(record)},
                       {"WINEDLLOVERRIDES", "mscoree,mshtml=;dbghelp=n,b"}};
        const std::string jrePath =
            c.source == Source::JrePath ? "JRE Path=" + toWindowsPath(dir.path() / "rt/jre") : "";
        const RunResult result =
            runPaired(Build::Windows, dir, toWindowsPath(program),
                      kAny + jrePath + "\n[Application]\n" + c.application, options);

        EXPECT_EQ(result.exitCode, c.exitCode) << std::hex << result.exitCode << "\n" << result.out;
        const std::string recorded = recordOf(record, c.started);
        // No arguments: the command line is the program alone, as the system forms it.
        const std::string programPath = toWindowsPath(program);
        const std::string work = "\n" + toWindowsPath(dir.path() / "work") + "\n";
        if (c.started)
            EXPECT_TRUE(recorded == programPath + work ||
                        recorded == '"' + programPath + '"' + work)
                << recorded;
        else
            EXPECT_EQ(recorded, "");
    }
    importRegistry(clearedVendorKeys());
}

// End to end: the x64 launcher finds only a 32-bit runtime and hands over to its paired
// noviq32.exe, which reads its own INI (copied from its partner's, "Pair Product" and all),
// finds that runtime in its own registry view, hosts it once and runs main; the exit code
// travels back. A 32-bit runtime registered under HKEY_CURRENT_USER, which both views share,
// is told by its library (by starts that are not elevated: elevated ones never search there).
TEST(PairedExecutableWine32, ThePaired32BitLauncherHostsTheRuntime) {
    NOVIQ_SKIP_WITHOUT_WINE32();
    ASSERT_TRUE(fs::exists(windows32File("noviq32.exe"))) << "the windows32 preset is not built";
    const struct {
        const char* name;
        std::string key; // below Software
        std::string settings;
    } cases[] = {
        {"the 32-bit view", "Wow6432Node\\JavaSoft\\Java Runtime Environment\\1.8.0_202", kAny},
        {"a key both views share", "JavaSoft\\JDK\\17.0.9", kAny + "Modern Runtimes=yes\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScenarioDir dir;
        const fs::path exe = dir.copy(launcherBinary(Build::Windows), "app/app.exe");
        dir.copy(windows32File("noviq32.exe"), "app/app32.exe");
        dir.write("app/app.jar", "");
        dir.copy(windows32File("tests/fixtures/scripted_jvm.dll"), dll("rt/jre"));
        const std::string root =
            c.key.rfind("JavaSoft\\JDK", 0) == 0 ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
        importRegistry(clearedVendorKeys() + "\n[" + root + "\\Software\\" + c.key +
                       "]\n\"JavaHome\"=\"" +
                       replaceAll(toWindowsPath(dir.path() / "rt/jre"), "\\", "\\\\") + "\"\n");
        const fs::path record = dir.path() / "record.txt";
        const std::string settings =
            "[Java Runtime Environment]\nMain Class=noviq.Paired\n" + c.settings +
            "Virtual Machine Parameters=-Dscripted.mode=exit:42 -Dscripted.record=" +
            toWindowsPath(record) +
            "\n[Class Path]\nClass Path=\\app.jar\n"
            "[Application]\nPair Product=app32.exe\nPair Return Code=Yes\n";
        dir.write("app/app.ini", settings);
        dir.write("app/app32.ini", settings);

        RunOptions options;
        options.args = {"not passed on"};
        options.notElevated = root == "HKEY_CURRENT_USER";
        const RunResult result = run(Build::Windows, exe, options);
        EXPECT_EQ(result.exitCode, 42u) << result.out << result.err;
        EXPECT_EQ(linesStartingWith(record, "main "), std::vector<std::string>{"noviq/Paired"});
        EXPECT_EQ(linesStartingWith(record, "arg "), std::vector<std::string>{});
    }
    importRegistry(clearedVendorKeys());
}

// The Linux build's 32-bit check reads the ELF class of libjvm.so.
TEST(PairedExecutableLinux, StartsThePairedProgramForA32BitRuntime) {
    std::string elf32(52, '\0'), elf64(64, '\0');
    elf32.replace(0, 5, "\177ELF\1");
    elf64.replace(0, 5, "\177ELF\2");
    const struct {
        const char* name;
        std::string library;
        std::string application;
        bool started;
        uint32_t exitCode;
        std::string out = "";
        const char* installedAt = "pair/program";
        const char* startedIn = "work";
    } cases[] = {
        {"32-bit, exit code returned", elf32, "Pair Product=%PAIR%\nPair Return Code=yes", true,
         42},
        {"32-bit, 0 at once", elf32, "Pair Product=%PAIR%", true, 0},
        {"a paired program that cannot start is a failure", elf32,
         "Pair Product=/no/such/program\nPair Return Code=Yes", false, 255,
         "Error: Failed to start the paired program: /no/such/program (errno = 2). \n"},
        // A relative name is the application's; the one in the working folder never runs.
        {"relative to the executable", elf32, "Pair Product=pair/program\nPair Return Code=yes",
         true, 42, "", "app/pair/program"},
        {"Override WorkingDir: started in the executable's folder", elf32,
         "Pair Product=%PAIR%\nPair Return Code=yes\nOverride WorkingDir=yes", true, 42, "",
         "pair/program", "app"},
        {"64-bit is hosted", elf64, "Pair Product=%PAIR%\nPair Return Code=Yes", false, 255},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScenarioDir dir;
        const fs::path record = dir.path() / "record.txt";
        const fs::path program = dir.write(
            c.installedAt, "#!/bin/sh\nprintf '%s|%s\\n' \"$#\" \"$PWD\" > \"$RECORD\"\nexit 42\n");
        fs::permissions(program, fs::perms::owner_all);
        const fs::path planted = dir.write("work/pair/program", "#!/bin/sh\nexit 9\n");
        fs::permissions(planted, fs::perms::owner_all);
        dir.write("rt/jre/lib/server/libjvm.so", c.library);
        RunOptions options;
        options.env = {{"RECORD", record.string()}};
        const RunResult result = runPaired(Build::Linux, dir, program.string(),
                                           "JRE Path=" + (dir.path() / "rt/jre").string() +
                                               "\n[Application]\n" + c.application,
                                           options);

        EXPECT_EQ(result.exitCode, c.exitCode) << result.out;
        if (c.exitCode != 0xFFu || !c.out.empty()) {
            EXPECT_EQ(result.out, c.out);
        }
        EXPECT_EQ(recordOf(record, c.started),
                  c.started ? "0|" + (dir.path() / c.startedIn).string() + "\n" : "");
    }
}

} // namespace
} // namespace noviq::test
