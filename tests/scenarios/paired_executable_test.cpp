// A 32-bit runtime hands over to the "Pair Product" program: started without arguments, in
// the launcher's environment and current directory, its exit code returned on request.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "harness.h"

namespace noviq::test {
namespace {

namespace fs = std::filesystem;

// The paired program's record, waited for: without "Pair Return Code" the launcher does not
// wait for it. Empty when it never appears.
std::string recordOf(const fs::path& file, bool expectStarted) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (expectStarted && !fs::exists(file) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!expectStarted)
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::ifstream in(file, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

// Removes every vendor key of both views: the registry is shared by the whole prefix.
std::string noVendorKeys() {
    std::string reg = "REGEDIT4\n\n";
    for (const char* view : {"", "Wow6432Node\\"})
        for (const char* vendor :
             {"JavaSoft\\Java Development Kit", "JavaSoft\\Java Runtime Environment",
              "JRockit\\Java Runtime Environment", "JRockit\\Java Development Kit",
              "IBM\\Java2 Runtime Environment"})
            reg += std::string("[-HKEY_LOCAL_MACHINE\\Software\\") + view + vendor + "]\n";
    return reg;
}
const std::string kNoVendorKeys = noVendorKeys();

struct PairCase {
    const char* name;
    std::string jre;         // settings after "Main Class"; %RT% is the runtimes' folder
    std::string application; // %PAIR% is the paired program
    std::string library;     // what rt/<runtime>/.../jvm library is a copy of ("" for text)
    const char* exitWith;
    bool started;
    uint32_t exitCode;
    bool besideExecutable = false; // the runtime lies beside the launcher, not in rt/jre
};

void expectRecord(const std::string& record, const std::string& program,
                  const std::string& currentDirectory) {
    // No arguments: the command line is the program alone, as the system forms it.
    EXPECT_TRUE(record == program + "\n" + currentDirectory + "\n" ||
                record == "\"" + program + "\"\n" + currentDirectory + "\n")
        << record;
}

TEST(PairedExecutableWine, StartsThePairedProgramForA32BitRuntime) {
    if (!wineAvailable())
        GTEST_SKIP() << "Wine or the Windows build is not available";
    const std::string jrePath = "Minimum Version=any\nMaximum Version=any\nJRE Path=%RT%\\jre";
    const std::string pair = "Pair Product=%PAIR%\n";
    const PairCase cases[] = {
        {"32-bit JRE Path, full exit code returned", jrePath, pair + "Pair Return Code=Yes",
         "pe_i686.dll", "0xC0FFEE42", true, 0xC0FFEE42u},
        {"Pair Return Code in capitals", jrePath, pair + "Pair Return Code=YES", "pe_i686.dll",
         "-2", true, 0xFFFFFFFEu},
        {"without Pair Return Code: 0 at once", jrePath, pair, "pe_i686.dll", "7", true, 0},
        {"a paired program that cannot start gives 0", jrePath,
         "Pair Product=C:\\no\\such\\program.exe\nPair Return Code=Yes", "pe_i686.dll", "7", false,
         0},
        {"the 32-bit registry view pairs without a header test",
         "Minimum Version=any\nMaximum Version=any", pair + "Pair Return Code=Yes", "", "42", true,
         42},
        {"a 64-bit library is hosted", jrePath, pair + "Pair Return Code=Yes", "pe_x86_64.dll",
         "42", false, 0xFFFFFFFFu},
        {"without Pair Product a 32-bit library is hosted", jrePath, "", "pe_i686.dll", "42", false,
         0xFFFFFFFFu},
        {"a runtime beside the executable is never paired",
         "Minimum Version=any\nMaximum Version=any", pair + "Pair Return Code=Yes", "pe_i686.dll",
         "42", false, 0xFFFFFFFFu, true},
    };
    for (const PairCase& c : cases) {
        SCOPED_TRACE(c.name);
        ScenarioDir dir;
        const fs::path exe = dir.copy(launcherBinary(Build::Windows), "app/app.exe");
        const fs::path program = dir.copy(windowsFixture("exit_with.exe"), "pair/exit_with.exe");
        // A DLL of that name beside the launcher must not stand in for the system's.
        dir.copy(windowsFixture("pe_x86_64.dll"), "app/dbghelp.dll");
        const std::string runtime = c.besideExecutable ? "app" : "rt/jre";
        if (c.besideExecutable)
            dir.write("app/bin/java.dll", "");
        const std::string library = runtime + "/bin/client/jvm.dll";
        if (c.library.empty())
            dir.write(library, "not a library");
        else
            dir.copy(windowsFixture(c.library), library);
        fs::create_directories(dir.path() / "work");

        std::string reg = kNoVendorKeys;
        if (c.jre.find("JRE Path") == std::string::npos && !c.besideExecutable) {
            std::string home;
            for (char ch : toWindowsPath(dir.path() / "rt/jre"))
                home += ch == '\\' ? std::string("\\\\") : std::string(1, ch);
            reg += "[HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\JavaSoft\\Java Runtime "
                   "Environment\\1.6.0_45]\n\"JavaHome\"=\"" +
                   home + "\"\n";
        }
        importRegistry(reg);

        std::string jre = c.jre, application = c.application;
        if (const size_t at = jre.find("%RT%"); at != std::string::npos)
            jre.replace(at, 4, toWindowsPath(dir.path() / "rt"));
        if (const size_t at = application.find("%PAIR%"); at != std::string::npos)
            application.replace(at, 6, toWindowsPath(program));
        dir.write("app/app.ini", "[Java Runtime Environment]\nMain Class=Main\n" + jre +
                                     "\n[Application]\n" + application + "\n");

        const fs::path record = dir.path() / "record.txt";
        RunOptions options;
        options.args = {"one", "two words"};
        options.workingDirectory = dir.path() / "work";
        // Wine prefers its own Dbghelp; as on Windows, a DLL beside the program comes first
        // unless the system folder is asked for explicitly.
        options.env = {{"EXIT_WITH_CODE", c.exitWith},
                       {"EXIT_WITH_RECORD", toWindowsPath(record)},
                       {"WINEDLLOVERRIDES", "mscoree,mshtml=;dbghelp=n,b"}};
        const RunResult result = run(Build::Windows, exe, options);

        EXPECT_EQ(result.exitCode, c.exitCode) << std::hex << result.exitCode << "\n" << result.out;
        const std::string recorded = recordOf(record, c.started);
        if (c.started)
            expectRecord(recorded, toWindowsPath(program), toWindowsPath(dir.path() / "work"));
        else
            EXPECT_EQ(recorded, "");
    }
    importRegistry(kNoVendorKeys);
}

// The Linux build's 32-bit check reads the ELF class of libjvm.so.
TEST(PairedExecutableLinux, StartsThePairedProgramForA32BitRuntime) {
    std::string elf32(52, '\0'), elf64(64, '\0');
    elf32.replace(0, 5,
                  "\x7f"
                  "ELF\x01");
    elf64.replace(0, 5,
                  "\x7f"
                  "ELF\x02");
    const struct {
        const char* name;
        std::string library;
        std::string application;
        bool started;
        uint32_t exitCode;
    } cases[] = {
        {"32-bit, exit code returned", elf32, "Pair Product=%PAIR%\nPair Return Code=yes", true,
         42},
        {"32-bit, 0 at once", elf32, "Pair Product=%PAIR%", true, 0},
        {"a paired program that cannot start gives 0", elf32,
         "Pair Product=/no/such/program\nPair Return Code=Yes", false, 0},
        {"64-bit is hosted", elf64, "Pair Product=%PAIR%\nPair Return Code=Yes", false, 255},
        {"without Pair Product 32-bit is hosted", elf32, "", false, 255},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScenarioDir dir;
        const fs::path exe = dir.copy(launcherBinary(Build::Linux), "app/app");
        const fs::path record = dir.path() / "record.txt";
        const fs::path program =
            dir.write("pair/program",
                      "#!/bin/sh\nprintf '%s|%s\\n' \"$#\" \"$PWD\" > \"$RECORD\"\nexit 42\n");
        fs::permissions(program, fs::perms::owner_all);
        dir.write("rt/jre/lib/server/libjvm.so", c.library);
        fs::create_directories(dir.path() / "work");
        std::string application = c.application;
        if (const size_t at = application.find("%PAIR%"); at != std::string::npos)
            application.replace(at, 6, program.string());
        dir.write("app/app.ini", "[Java Runtime Environment]\nMain Class=Main\nJRE Path=" +
                                     (dir.path() / "rt/jre").string() + "\n[Application]\n" +
                                     application + "\n");

        RunOptions options;
        options.args = {"one", "two"};
        options.workingDirectory = dir.path() / "work";
        options.env = {{"RECORD", record.string()}};
        const RunResult result = run(Build::Linux, exe, options);

        EXPECT_EQ(result.exitCode, c.exitCode) << result.out;
        EXPECT_EQ(recordOf(record, c.started),
                  c.started ? "0|" + (dir.path() / "work").string() + "\n" : "");
    }
}

} // namespace
} // namespace noviq::test
