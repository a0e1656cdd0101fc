// What an elevated start does not take from what its user's other programs can write: the
// user's own files and environment. Linux: a root start, against the same start made by
// another user (uid 65534, through setpriv); Windows: a start under Wine, against the same
// start with the linked, non-elevated token.
#include <gtest/gtest.h>

#include <unistd.h>

#include "harness.h"

namespace fs = std::filesystem;

namespace noviq::test {
namespace {

const std::string kJdk = "/usr/lib/jvm/java-17-openjdk-amd64";

// Which inputs an elevated start drops is a unit table (jvm_options_test, settings_test, and
// runtime_search_test under Wine): here that root's start is elevated and another user's is
// not, for the JVM's environment and for $JAVA_HOME (which no unit test sees).
TEST(ElevationLinux, RootTakesNothingAUserCanWrite) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root: a root start and the same start by another user";
    const struct {
        std::string settings; // of the runtime section, after the main class
        std::vector<std::pair<std::string, std::string>> env;
        std::string root;  // a part of the root start's output
        std::string taken; // shows in the output of a start that took the user's input
        size_t times;      // how often
    } cases[] = {
        // The JVM names each variable it takes options from on standard error, the launcher
        // the java command's ("NOTE: Picked up JDK_JAVA_OPTIONS").
        {"JRE Path=" + kJdk,
         {{"JAVA_TOOL_OPTIONS", "-D1"}, {"_JAVA_OPTIONS", "-D2"}, {"JDK_JAVA_OPTIONS", "-D3"}},
         "Hello\n",
         "Picked up ",
         3},
        {"Modern Runtimes=yes\nMinimum Version=any\nMaximum Version=any",
         {{"JAVA_HOME", "%DIR%/home"}, {"NOVIQ_JVM_ROOT", "%DIR%/none"}},
         "The Java Runtime Environment (JRE) was not found",
         "%DIR%/home/lib/server/libjvm.so",
         1},
    };
    for (const auto& c : cases) {
        for (const bool asRoot : {true, false}) {
            SCOPED_TRACE(c.settings + (asRoot ? ", root" : ", another user"));
            ScenarioDir dir;
            const fs::path exe = dir.copy(launcherBinary(Build::Linux), "app/app");
            dir.copy(fs::path(NOVIQ_LINUX_BUILD_DIR) / "tests/java/apps.jar", "app/apps.jar");
            dir.write("home/lib/libjava.so", "");
            dir.write("home/lib/server/libjvm.so", "planted");
            fs::create_directories(dir.path() / "none");
            dir.write("app/app.ini", "[Java Runtime Environment]\nMain Class=noviq.apps.Hello\n" +
                                         c.settings + "\n[Class Path]\nClass Path=apps.jar\n");
            RunOptions options;
            for (const auto& [name, value] : c.env)
                options.env.emplace_back(name, replaceAll(value, "%DIR%", dir.path().string()));
            fs::path program = exe;
            if (!asRoot) {
                dir.giveToUnprivilegedUser();
                options.args = {"--reuid=65534", "--regid=65534", "--clear-groups", "--",
                                exe.string()};
                program = "/usr/bin/setpriv";
            }
            options.workingDirectory = exe.parent_path();
            const RunResult result = run(Build::Linux, program, options);
            const std::string output = result.out + result.err;
            EXPECT_EQ(countOf(output, replaceAll(c.taken, "%DIR%", dir.path().string())),
                      asRoot ? 0u : c.times)
                << output;
            if (asRoot) {
                EXPECT_NE(output.find(c.root), std::string::npos) << output;
            }
        }
    }
}

// Root writes a file the user names only where the user cannot have put a link or a file of
// theirs: the trace only as a new file in a folder of root's alone, a Java stream never
// through a link. Every trace line stays one line, whatever the names it holds.
TEST(ElevationLinux, RootWritesNoFileThroughTheUsersLinks) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root: the files of another user";
    const struct {
        const char* name;
        std::string trace;   // NOVIQ_TRACE, under the scenario folder
        std::string streams; // [Application] keys
        bool traced;         // the trace file holds the trace
        std::string out;     // a part of the output
    } cases[] = {
        {"a trace file in the user's folder", "user/trace.txt", "", false,
         "refused (its folder is no folder that only this user can write)"},
        {"a new trace file in root's own folder, an output file that is the user's link",
         "root/trace.txt", "Output File=%DIR%/user/out.txt\n", true,
         "Error: The file %DIR%/user/out.txt is not used for the Java stream: it is a symbolic "
         "link. \nHello\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScenarioDir dir;
        // A line break in the executable's folder name would split a trace line in two.
        const fs::path exe = dir.copy(launcherBinary(Build::Linux), "root/a\nb/app");
        dir.copy(fs::path(NOVIQ_LINUX_BUILD_DIR) / "tests/java/apps.jar", "root/a\nb/apps.jar");
        dir.write("root/a\nb/app.ini", "[Java Runtime Environment]\nJRE Path=" + kJdk +
                                           "\nMain Class=noviq.apps.Hello\n[Class Path]\n"
                                           "Class Path=apps.jar\n[Application]\n" +
                                           replaceAll(c.streams, "%DIR%", dir.path().string()));
        const fs::path secret = dir.write("root/secret", "root's alone\n");
        fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write);
        fs::create_directories(dir.path() / "user");
        fs::create_symlink(secret, dir.path() / "user/out.txt");
        lchown((dir.path() / "user").c_str(), 65534, 65534);
        lchown((dir.path() / "user/out.txt").c_str(), 65534, 65534);

        RunOptions options;
        options.env = {{"NOVIQ_TRACE", (dir.path() / c.trace).string()}};
        const RunResult result = run(Build::Linux, exe, options);
        EXPECT_NE((result.out + result.err).find(replaceAll(c.out, "%DIR%", dir.path().string())),
                  std::string::npos)
            << result.out << result.err;
        EXPECT_EQ(readFile(secret), "root's alone\n");
        const std::string trace = readFile(dir.path() / c.trace);
        EXPECT_EQ(trace.find("start: ") != std::string::npos, c.traced) << trace;
        if (c.traced) {
            EXPECT_NE(trace.find("a\\nb"), std::string::npos) << trace;
            EXPECT_EQ(trace.find("a\nb"), std::string::npos) << trace;
        }
    }
}

// Windows: an elevated start (every start under Wine) writes its trace to no file of a folder
// its user can write, Wine's included (it reports every folder as the user's), and its JVM
// gets the option variables only with the machine's own value (HKLM's environment, which
// Wine also gives the starting process); the same start with the linked token, not
// elevated, writes the trace file and passes the user's value on.
TEST(ElevationWine, AnElevatedStartTakesNeitherTheUsersTraceFileNorJvmOptions) {
    NOVIQ_SKIP_WITHOUT_WINE();
    const std::string key =
        "HKLM\\SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment";
    const struct {
        const char* name;
        bool elevated;
        std::string machine; // JAVA_TOOL_OPTIONS of HKLM's environment; empty: none
        std::string reaches; // JAVA_TOOL_OPTIONS the JVM gets
    } cases[] = {
        {"elevated", true, "", ""},
        {"not elevated", false, "", "-Duser=1"},
        {"the machine's, elevated", true, "-Dmachine=1", "-Dmachine=1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.machine.empty())
            runWineProgram(
                {"reg", "add", key, "/v", "JAVA_TOOL_OPTIONS", "/d", c.machine, "/f", "/reg:64"});
        ScenarioDir dir;
        const fs::path exe = dir.copy(launcherBinary(Build::Windows), "tool.exe");
        dir.copy(windowsFixture("scripted_jvm.dll"), "rt/bin/server/jvm.dll");
        dir.write("lib/a.jar", "");
        const fs::path record = dir.path() / "record.txt";
        dir.write("tool.ini", "[Java Runtime Environment]\nJRE Path=rt\nMain Class=noviq.Main\n"
                              "Virtual Machine Parameters=-Dscripted.record=" +
                                  toWindowsPath(record) +
                                  "\n[Class Path]\nClass Path=\\lib\\a.jar\n");
        RunOptions options;
        options.notElevated = !c.elevated;
        options.env = {{"WINRUN_SET_NOVIQ_TRACE", toWindowsPath(dir.path() / "trace.txt")}};
        if (c.machine.empty())
            options.env.emplace_back("WINRUN_SET_JAVA_TOOL_OPTIONS", "-Duser=1");
        const RunResult result = run(Build::Windows, exe, options);
        if (!c.machine.empty())
            runWineProgram({"reg", "delete", key, "/v", "JAVA_TOOL_OPTIONS", "/f", "/reg:64"});
        EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
        EXPECT_EQ(result.err.find("refused (its folder is not owned by SYSTEM, Administrators or "
                                  "TrustedInstaller): the trace goes to standard error") !=
                      std::string::npos,
                  c.elevated)
            << result.err;
        EXPECT_EQ(readFile(dir.path() / "trace.txt").find("start: ") != std::string::npos,
                  !c.elevated);
        EXPECT_EQ(linesStartingWith(record, "env JAVA_TOOL_OPTIONS="),
                  std::vector<std::string>{c.reaches});
    }
}

} // namespace
} // namespace noviq::test
