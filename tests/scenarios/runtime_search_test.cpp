// Which runtime the launcher picks, seen from outside: INI settings, registry keys (Wine) or
// runtime folders (Linux), and folders beside the executable. Every JVM library is a text
// file, so the launcher names the chosen one in its "Failed to load Java VM library" line.
#include <gtest/gtest.h>

#include <regex>
#include <string>
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

std::string ini(const std::string& jre, const std::string& application) {
    return "[Java Runtime Environment]\nMain Class=Main\n" + jre + "\n[Application]\n" +
           application + "\n";
}

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

std::string regEscaped(const std::string& text) {
    std::string out;
    for (char c : text)
        out += c == '\\' ? std::string("\\\\") : std::string(1, c);
    return out;
}

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
        return "\"" + regEscaped(home) + "\"";
    case Value::Slashed:
        return "\"" + regEscaped(home + "\\") + "\"";
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

// Every vendor key of both views is removed first: the keys are shared by the whole prefix.
std::string registryFile(const fs::path& folder, const std::vector<Key>& keys) {
    std::string reg = "REGEDIT4\n\n";
    for (const char* view : {"", "Wow6432Node\\"})
        for (const char* vendor : kVendorKeys)
            reg += std::string("[-HKEY_LOCAL_MACHINE\\Software\\") + view + vendor + "]\n";
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

struct WineCase {
    const char* name;
    std::string jre, application;
    std::vector<std::string> files; // text files; "app/app.exe" is the launcher
    std::vector<Key> keys;
    std::string expected; // library under the scenario folder, "not found", or "=" + printed text
    std::string workingDirectory = "app";
};

const std::string kAny = "Minimum Version=any\nMaximum Version=any\n";

TEST(RuntimeSearchWine, ChoosesByTheSettingsTheRegistryAndTheFolders) {
    if (!wineAvailable())
        GTEST_SKIP() << "Wine or the Windows build is not available";
    const WineCase cases[] = {
        {"newest JavaSoft runtime; JRockit not allowed",
         kAny,
         "",
         {dll("rt/jdk16/jre"), dll("rt/jre17"), dll("rt/rockit18")},
         {{SunJdk, "1.6.0_20", "rt/jdk16"},
          {SunJre, "1.7.0", "rt/jre17"},
          {RockitJre, "1.8", "rt/rockit18"}},
         dll("rt/jre17")},
        {"favor_JDK with favor_sun: preference beats version",
         kAny + "JVM Source=favor_JDK\nVM Provider=favor_sun",
         "",
         {dll("rt/jdk15/jre"), dll("rt/jre16")},
         {{SunJdk, "1.5.0_22", "rt/jdk15"}, {SunJre, "1.6.0_20", "rt/jre16"}},
         dll("rt/jdk15/jre")},
        {"only_JRE with favor_ibm: keys 2, 3 and 5, highest version",
         kAny + "JVM Source=only_JRE\nVM Provider=favor_ibm",
         "",
         {dll("rt/jdk18/jre"), dll("rt/jre16"), dll("rt/rockit17"), dll("rt/rockitjdk19/jre"),
          dll("rt/ibm15")},
         {{SunJdk, "1.8", "rt/jdk18"},
          {SunJre, "1.6", "rt/jre16"},
          {RockitJre, "1.7", "rt/rockit17"},
          {RockitJdk, "1.9", "rt/rockitjdk19"},
          {IbmJre, "1.5", "rt/ibm15"}},
         dll("rt/rockit17")},
        {"favor_server: a server JDK before a newer client-first runtime",
         kAny + "JVM Type=favor_server",
         "",
         {dll("rt/jdk16/jre", "server"), dll("rt/jre17"), dll("rt/jre17", "server")},
         {{SunJdk, "1.6", "rt/jdk16"}, {SunJre, "1.7", "rt/jre17"}},
         dll("rt/jdk16/jre", "server")},
        {"favor_server loads the chosen runtime's server library",
         kAny + "JVM Type=favor_server",
         "",
         {dll("rt/jre17"), dll("rt/jre17", "server")},
         {{SunJre, "1.7", "rt/jre17"}},
         dll("rt/jre17", "server")},
        {"JVM Source in the wrong case searches nothing",
         kAny + "JVM Source=ONLY_JRE",
         "",
         {dll("rt/jre16")},
         {{SunJre, "1.6", "rt/jre16"}},
         "not found"},
        {"Preferred versions in entry order",
         kAny + "Preferred versions=1.5;1.6",
         "",
         {dll("rt/jre16"), dll("rt/jre15")},
         {{SunJre, "1.6.0_20", "rt/jre16"}, {SunJre, "1.5.0_22", "rt/jre15"}},
         dll("rt/jre15")},
        {"a version above the maximum is skipped",
         "Maximum Version=1.6",
         "",
         {dll("rt/jre17"), dll("rt/jre16")},
         {{SunJre, "1.7.0", "rt/jre17"}, {SunJre, "1.6.0_20", "rt/jre16"}},
         dll("rt/jre16")},
        {"an empty Maximum Version rejects registry runtimes",
         "Minimum Version=any",
         "",
         {dll("rt/jre16")},
         {{SunJre, "1.6", "rt/jre16"}},
         "not found"},
        {"an empty Maximum Version still takes JRE Path",
         "JRE Path=%RT%\\custom",
         "",
         {dll("rt/custom")},
         {},
         dll("rt/custom")},
        {"JRE Path without a library is passed over",
         kAny + "JRE Path=%RT%\\empty",
         "",
         {"rt/empty/bin/java.dll", dll("rt/jre17")},
         {{SunJre, "1.7", "rt/jre17"}},
         dll("rt/jre17")},
        {"relative JRE Path from the executable's folder",
         "JRE Path=jre",
         "Override WorkingDir=Yes",
         {dll("app/jre")},
         {},
         "=jre\\bin\\client\\jvm.dll",
         "elsewhere"},
        {"a runtime beside the executable",
         kAny,
         "",
         {"app/bin/java.dll", dll("app"), dll("rt/jre17")},
         {{SunJre, "1.7", "rt/jre17"}},
         dll("app")},
        {"a runtime in jre64 beside the executable",
         kAny,
         "",
         {"app/jre64/bin/java.dll", dll("app/jre64", "server")},
         {},
         dll("app/jre64", "server")},
        {"the executable's folder wins over jre64",
         kAny,
         "",
         {"app/bin/java.dll", dll("app"), "app/jre64/bin/java.dll", dll("app/jre64")},
         {},
         dll("app")},
        {"a marker without a library falls through to the registry",
         kAny,
         "",
         {"app/bin/java.dll", "app/jre64/bin/java.dll", dll("app/jre64"), dll("rt/jre17")},
         {{SunJre, "1.7", "rt/jre17"}},
         dll("rt/jre17")},
        {"the 32-bit view needs a paired program",
         kAny,
         "",
         {dll("rt/jre16")},
         {{SunJre, "1.6", "rt/jre16", Value::Sz, true}},
         "not found"},
        {"the native view wins over the 32-bit view",
         kAny,
         "Pair Product=C:\\pair.exe",
         {dll("rt/jre15"), dll("rt/jre17")},
         {{SunJre, "1.5", "rt/jre15"}, {SunJre, "1.7", "rt/jre17", Value::Sz, true}},
         dll("rt/jre15")},
        {"JavaHome unexpanded",
         kAny,
         "",
         {dll("rt/jre16")},
         {{SunJre, "1.6", "rt/jre16", Value::ExpandSz}},
         dll("rt/jre16")},
        {"JavaHome as binary data, read up to the first zero",
         kAny,
         "",
         {dll("rt/jre16")},
         {{SunJre, "1.6", "rt/jre16", Value::BinaryWithTail}},
         dll("rt/jre16")},
        {"JavaHome ending in a backslash, missing or empty",
         kAny,
         "",
         {dll("rt/jre16"), dll("rt/jre17"), dll("rt/jre18")},
         {{SunJre, "1.6", "rt/jre16", Value::Slashed},
          {SunJre, "1.7", "rt/jre17", Value::Missing},
          {SunJre, "1.8", "rt/jre18", Value::Empty}},
         dll("rt/jre16")},
    };
    for (const WineCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScenarioDir dir;
        const fs::path exe = dir.copy(launcherBinary(Build::Windows), "app/app.exe");
        fs::create_directories(dir.path() / "elsewhere");
        for (const std::string& file : c.files)
            dir.write(file, "not a library");
        std::string jre = c.jre;
        if (const size_t at = jre.find("%RT%"); at != std::string::npos)
            jre.replace(at, 4, toWindowsPath(dir.path() / "rt"));
        dir.write("app/app.ini", ini(jre, c.application));
        importRegistry(registryFile(dir.path(), c.keys));

        RunOptions options;
        options.workingDirectory = dir.path() / c.workingDirectory;
        const RunResult result = run(Build::Windows, exe, options);

        const std::string expected = c.expected == "not found" ? c.expected
                                     : c.expected[0] == '='
                                         ? c.expected.substr(1)
                                         : toWindowsPath(dir.path() / c.expected);
        EXPECT_EQ(chosenLibrary(result), expected);
        EXPECT_EQ(result.exitCode, 0xFFFFFFFFu);
    }
    importRegistry(registryFile(fs::path(), {}));
}

// ---- Linux: runtime folders under NOVIQ_JVM_ROOT ----

// A runtime folder of the JDK 9+ layout (or, with a "jre/" prefix in `library`, Java 8's).
struct Folder {
    std::string name;
    std::string release; // content of the release file; empty: none
    std::string library = "lib/server/libjvm.so";
    std::string marker = "lib/libjava.so";
};

struct LinuxCase {
    const char* name;
    std::string jre, application;
    std::vector<Folder> runtimes; // under jvm/
    std::vector<std::string> files;
    std::string expected; // library under the scenario folder, "not found", or "=" + printed text
    std::string workingDirectory = "app";
};

std::string release(const std::string& version, const std::string& implementor = "Debian") {
    return "IMPLEMENTOR=\"" + implementor + "\"\nJAVA_VERSION=\"" + version + "\"\n";
}

TEST(RuntimeSearchLinux, ChoosesAmongTheRuntimeFolders) {
    const Folder jdk11{"jdk-11", release("11.0.2")}, jdk17{"jdk-17", release("17.0.1")};
    const LinuxCase cases[] = {
        {"newest runtime", kAny, "", {jdk11, jdk17}, {}, "jvm/jdk-17/lib/server/libjvm.so"},
        {"Maximum Version",
         "Maximum Version=11",
         "",
         {jdk11, jdk17},
         {},
         "jvm/jdk-11/lib/server/libjvm.so"},
        {"Preferred versions",
         kAny + "Preferred versions=11",
         "",
         {jdk11, jdk17},
         {},
         "jvm/jdk-11/lib/server/libjvm.so"},
        {"an alias counts once, under its real name",
         kAny,
         "",
         {{"java-17-openjdk-amd64", release("17.0.15")}},
         {},
         "jvm/java-17-openjdk-amd64/lib/server/libjvm.so"},
        // Read as 1.8.0.64 (amd64), the version would miss the range.
        {"version from the folder name",
         "Maximum Version=1.8.0.0",
         "",
         {{"java-1.8.0-openjdk-amd64", "", "lib/amd64/server/libjvm.so", "lib/amd64/libjava.so"},
          {"java-11-openjdk-amd64", ""}},
         {},
         "jvm/java-1.8.0-openjdk-amd64/lib/amd64/server/libjvm.so"},
        {"a Java 8 JDK through its jre folder",
         kAny + "JVM Source=only_JDK",
         "",
         {{"jdk1.8.0_202", "", "jre/lib/amd64/server/libjvm.so", "jre/lib/amd64/libjava.so"},
          jdk17},
         {},
         "jvm/jdk1.8.0_202/jre/lib/amd64/server/libjvm.so"},
        {"an IBM runtime under the IBM key",
         kAny + "VM Provider=ibm",
         "",
         {{"ibm-8", release("1.8.0_321", "IBM Corporation")}, jdk17},
         {},
         "jvm/ibm-8/lib/server/libjvm.so"},
        {"a runtime without a library is skipped",
         kAny,
         "",
         {jdk11, {"jdk-21", release("21"), "lib/no-library"}},
         {},
         "jvm/jdk-11/lib/server/libjvm.so"},
        {"an empty Maximum Version finds no installed runtime", "", "", {jdk17}, {}, "not found"},
        {"an empty Maximum Version still takes JRE Path",
         "JRE Path=%ROOT%/custom",
         "",
         {jdk17},
         {"custom/lib/server/libjvm.so"},
         "custom/lib/server/libjvm.so"},
        {"a runtime beside the executable",
         kAny,
         "",
         {jdk17},
         {"app/lib/libjava.so", "app/lib/server/libjvm.so"},
         "app/lib/server/libjvm.so"},
        {"a runtime in jre64 beside the executable",
         kAny,
         "",
         {jdk17},
         {"app/jre64/lib/libjava.so", "app/jre64/lib/server/libjvm.so"},
         "app/jre64/lib/server/libjvm.so"},
        {"relative JRE Path from the executable's folder",
         "JRE Path=jre",
         "Override WorkingDir=Yes",
         {},
         {"app/jre/lib/server/libjvm.so"},
         "=jre/lib/server/libjvm.so",
         "elsewhere"},
    };
    for (const LinuxCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScenarioDir dir;
        const fs::path exe = dir.copy(launcherBinary(Build::Linux), "app/app");
        fs::create_directories(dir.path() / "jvm");
        fs::create_directories(dir.path() / "elsewhere");
        for (const Folder& f : c.runtimes) {
            dir.write("jvm/" + f.name + "/" + f.marker, "");
            dir.write("jvm/" + f.name + "/" + f.library, "not a library");
            if (!f.release.empty())
                dir.write("jvm/" + f.name + "/release", f.release);
        }
        if (fs::exists(dir.path() / "jvm/java-17-openjdk-amd64"))
            fs::create_directory_symlink("java-17-openjdk-amd64",
                                         dir.path() / "jvm/java-1.17.0-openjdk-amd64");
        for (const std::string& file : c.files)
            dir.write(file, "not a library");
        std::string jre = c.jre;
        if (const size_t at = jre.find("%ROOT%"); at != std::string::npos)
            jre.replace(at, 6, dir.path().string());
        dir.write("app/app.ini", ini(jre, c.application));

        RunOptions options;
        options.workingDirectory = dir.path() / c.workingDirectory;
        options.env = {{"NOVIQ_JVM_ROOT", (dir.path() / "jvm").string()}};
        const RunResult result = run(Build::Linux, exe, options);

        const std::string expected = c.expected == "not found" ? c.expected
                                     : c.expected[0] == '='    ? c.expected.substr(1)
                                                               : (dir.path() / c.expected).string();
        EXPECT_EQ(chosenLibrary(result), expected);
        EXPECT_EQ(result.exitCode, 255u);
    }
}

// The machine's own runtimes under /usr/lib/jvm. Real libraries load, so the dynamic
// loader's trace names the one chosen.
TEST(RuntimeSearchLinux, FindsTheMachinesRuntimes) {
    const struct {
        const char* maximum;
        const char* expected; // exact path, a pattern, or "not found"
    } cases[] = {
        {"any", "^/usr/lib/jvm/[^/]+/lib/server/libjvm\\.so$"},
        {"17", "^/usr/lib/jvm/java-17-openjdk-amd64/lib/server/libjvm\\.so$"},
        {"11", "not found"},
        {"", "not found"},
    };
    if (!fs::exists("/usr/lib/jvm/java-17-openjdk-amd64/lib/server/libjvm.so"))
        GTEST_SKIP() << "no OpenJDK 17 under /usr/lib/jvm";
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("Maximum Version=") + c.maximum);
        ScenarioDir dir;
        const fs::path exe = dir.copy(launcherBinary(Build::Linux), "app");
        dir.write("app.ini", ini(std::string("Maximum Version=") + c.maximum, ""));
        RunOptions options;
        options.env = {{"NOVIQ_JVM_ROOT", ""}, {"LD_DEBUG", "files"}};
        const RunResult result = run(Build::Linux, exe, options);

        std::smatch loaded;
        static const std::regex dlopened(
            "file=(\\S*libjvm\\.so) \\[0\\];\\s+dynamically loaded by");
        if (std::string(c.expected) == "not found") {
            EXPECT_EQ(chosenLibrary(result), "not found");
            EXPECT_FALSE(std::regex_search(result.err, loaded, dlopened)) << loaded[1];
        } else {
            ASSERT_TRUE(std::regex_search(result.err, loaded, dlopened)) << result.out;
            EXPECT_TRUE(std::regex_match(loaded[1].str(), std::regex(c.expected))) << loaded[1];
        }
    }
}

} // namespace
} // namespace noviq::test
