// The launcher hosting a JVM, checked from what reaches the JVM (options in order, class
// path, arguments as UTF-16, thread stack, environment, redirected streams) and how each
// ending maps to the exit code. Under Wine the Windows launcher hosts the scripted JNI runtime
// (tests/fixtures/scripted_jvm) in place of a jvm.dll, which records what it is given; the
// Linux launcher hosts the system JDK running the Java test applications (tests/java).
#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

#include "harness.h"

namespace fs = std::filesystem;

namespace noviq::test {
namespace {

// ---- Windows, under Wine: the scripted JNI runtime ----

// tool.exe beside tool.ini, with a runtime folder rt\ whose bin\server\jvm.dll is a fixture.
// In INI text, "{dir}" is the installation folder as Windows sees it and "{rt}" the runtime.
class ScriptedInstallation {
public:
    ScriptedInstallation(const std::string& mode, const std::string& settings,
                         const std::string& parameters = "",
                         const std::string& jvmFixture = "scripted_jvm.dll") {
        tool_ = dir_.copy(launcherBinary(Build::Windows), "tool.exe");
        dir_.copy(windowsFixture(jvmFixture), "rt/bin/server/jvm.dll");
        dir_.write("lib/a.jar", "");
        const std::string record = toWindowsPath(dir_.path() / "record.txt");
        dir_.write("tool.ini", expand(replaceAll("[Java Runtime Environment]\nJRE Path={rt}\n"
                                                 "Virtual Machine Parameters=-Dscripted.record=" +
                                                     record + " -Dscripted.mode=" + mode + " " +
                                                     parameters + "\n" + settings,
                                                 "\n", "\r\n")));
    }
    std::string expand(std::string text) const {
        text = replaceAll(text, "{rt}", toWindowsPath(dir_.path() / "rt"));
        return replaceAll(text, "{dir}", toWindowsPath(dir_.path()));
    }
    RunResult run(RunOptions options = {}) const {
        options.timeoutSeconds = 30;
        return test::run(Build::Windows, tool_, options);
    }
    // The record lines that start with prefix, without it.
    std::vector<std::string> recorded(const std::string& prefix) const {
        return linesStartingWith(dir_.path() / "record.txt", prefix);
    }
    std::string recordedOnce(const std::string& prefix) const {
        const std::vector<std::string> found = recorded(prefix);
        EXPECT_EQ(found.size(), 1u) << prefix;
        return found.empty() ? "" : found[0];
    }
    const ScenarioDir& dir() const { return dir_; }

private:
    ScenarioDir dir_;
    fs::path tool_;
};

// Settings with the Main Class and Class Path every run needs, then more keys.
std::string withMain(const std::string& jreKeys = "", const std::string& classPath = "\\lib\\a.jar",
                     const std::string& application = "") {
    return "Main Class=noviq.Main\n" + jreKeys + "[Class Path]\nClass Path=" + classPath +
           "\n[Application]\n" + application;
}

// What the scripted runtime receives: the options in order (the class path written in
// every form, missing entries left out, the executable itself for "Embedded Jar"), the
// arguments as UTF-16, the exit hooks, the environment, and a main thread with the -Xss
// stack (Wine gives every thread at least 1 MB, the image asks for 2 MB: 5 MB tells).
TEST(JvmHostingWine, OptionsArgumentsAndEnvironmentArriveExactly) {
    NOVIQ_SKIP_WITHOUT_WINE();
    ScriptedInstallation app(
        "returns",
        withMain("", "D:\\libs\\x.jar;;\\\\srv\\share\\y.jar;\\lib\\gone.jar;%APP_LIB%\\a.jar",
                 "Cmd=-c \"d e\"\nEmbedded Jar=yes\n"),
        "-Xmx512m \"-Dq=a b\" -Xss5m @jvm.args");
    app.dir().write("jvm.args", "-p 'C:\\\\mods' # the module path\r\n");
    RunOptions options;
    options.env = {{"APP_LIB", toWindowsPath(app.dir().path() / "lib")}};
    // tool.exe plain "two words" 日本 😀 é   (UTF-8 here; the launcher gets UTF-16)
    options.windowsCommandLine = "tool.exe plain \"two words\" \xE6\x97\xA5\xE6\x9C\xAC "
                                 "\xF0\x9F\x98\x80 \xC3\xA9";
    const RunResult result = app.run(options);
    ASSERT_EQ(result.exitCode, 0u) << result.out << result.err;

    EXPECT_EQ(app.recordedOnce("version "), "00010002");
    EXPECT_EQ(app.recordedOnce("ignoreUnrecognized "), "0");
    // The library path comes first and -Dsun.java.command last: the unit PrepareEnvironment
    // and JavaCommand tests'.
    std::vector<std::string> received = app.recorded("option ");
    ASSERT_GT(received.size(), 2u);
    EXPECT_EQ(
        std::vector<std::string>(received.begin() + 1, received.end() - 1),
        (std::vector<std::string>{
            app.expand("-Djava.class.path=D:\\libs\\x.jar;\\\\srv\\share\\y.jar;{dir}\\lib\\a.jar;"
                       "{dir}\\tool.exe"),
            "-Dscripted.record=" + toWindowsPath(app.dir().path() / "record.txt"),
            "-Dscripted.mode=returns", "-Xmx512m", "-Dq=a b", "-Xss5m", "--module-path=C:\\mods"}));
    EXPECT_EQ(app.recorded("hook "), (std::vector<std::string>{"vfprintf 1", "abort 1", "exit 1"}));
    EXPECT_EQ(app.recordedOnce("env NOVIQ_JVM_PATH="), app.expand("{rt}\\bin\\server\\jvm.dll"));
    EXPECT_EQ(app.recordedOnce("env NOVIQ_JVM_HOME="), app.expand("{rt}"));
    EXPECT_EQ(app.recorded("arg "),
              (std::vector<std::string>{"0070 006C 0061 0069 006E",
                                        "0074 0077 006F 0020 0077 006F 0072 0064 0073", "65E5 672C",
                                        "D83D DE00", "00E9", "002D 0063", "0064 0020 0065"}));
    EXPECT_EQ(app.recordedOnce("main "), "noviq/Main");
    EXPECT_EQ(app.recordedOnce("stack "), std::to_string(5 << 20));
    EXPECT_EQ(app.recorded("defaults "), std::vector<std::string>{}); // -Xss given: not asked
}

TEST(JvmHostingWine, HowTheApplicationEnds) {
    NOVIQ_SKIP_WITHOUT_WINE();
    struct Case {
        const char* mode;
        std::string application; // keys of [Application]
        std::string out;
        std::string errOnce; // must appear exactly once on stderr; empty: stderr is empty
        uint32_t exitCode;
        bool detaches;
        const char* jvmFixture = "scripted_jvm.dll";
        const char* dependencyAt = nullptr; // where the fixture's own dependency is put
    };
    const std::string uncaught =
        "Exception in thread \"main\" java/lang/IllegalStateException: scripted failure";
    // A library that cannot load is reported once, with the system's error code.
    const std::string loadFailed =
        "Error: Failed to load Java VM library: {rt}\\bin\\server\\jvm.dll (errno = ";
    const Case cases[] = {
        {"returns", "", "scripted main ran\n", "scripted main to stderr", 0, true},
        // Failure Check fetches the trace for its question, which nobody is there to see.
        {"throws", "Failure Check=Yes\n", "scripted main throws\n", uncaught, 1, true},
        {"exit:-2", "", "", "", 0xFFFFFFFEu, false},
        {"create-fails:-42", "",
         "Error: JNI exception: failed to create the Java VM\r\nReason: Scripted refusal in 2 "
         "pieces. \r\n",
         "Scripted refusal in 2 pieces\r\n", 0xFFFFFFFFu, false},
        {"no-main", "", "Error: No main method found in specified class. \r\n", "", 0xFFFFFFFFu,
         true},
        // A library's dependencies come from the runtime's bin folder, never from the
        // folder the program is started from.
        {"returns", "", loadFailed + "126). \r\n", "", 0xFFFFFFFFu, false, "needs_absent.dll",
         "work"},
        {"returns", "",
         "Error: Windows exception: cannot find CreateJavaVM JNI (errno = 127). \r\n", "",
         0xFFFFFFFFu, false, "needs_absent.dll", "rt/bin"},
        {"returns", "", loadFailed + "193). \r\n", "", 0xFFFFFFFFu, false, "pe_i686.dll"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + " " + c.application + " " + c.jvmFixture);
        ScriptedInstallation app(c.mode, withMain("", "\\lib\\a.jar", c.application), "",
                                 c.jvmFixture);
        RunOptions options;
        if (c.dependencyAt) {
            app.dir().copy(windowsFixture("scripted_jvm/absent/absent_dependency.dll"),
                           std::string(c.dependencyAt) + "/absent_dependency.dll");
            options.workingDirectory = app.dir().path() / "work";
            fs::create_directories(options.workingDirectory);
        }
        const RunResult result = app.run(options);
        EXPECT_EQ(result.out, app.expand(c.out));
        if (c.errOnce.empty())
            EXPECT_EQ(result.err, "");
        else
            EXPECT_EQ(countOf(result.err, c.errOnce), 1u) << result.err;
        EXPECT_EQ(result.exitCode, c.exitCode) << std::hex << result.exitCode;
        EXPECT_EQ(app.recorded("detach").size(), c.detaches ? 1u : 0u);
        // The JVM is destroyed whenever it was created and the process was not ended inside it.
        EXPECT_EQ(app.recorded("destroy").size(), c.detaches ? 1u : 0u);
        if (!c.application.empty())
            EXPECT_EQ(app.recordedOnce("trace "),
                      "java/lang/IllegalStateException: scripted failure");
        else
            EXPECT_TRUE(app.recorded("trace ").empty());
        // Without -Xss, the size the runtime's JNI 1.1 defaults give.
        if (c.detaches) {
            EXPECT_EQ(app.recorded("defaults "), std::vector<std::string>{"00010001 1"});
            EXPECT_EQ(app.recordedOnce("stack "), std::to_string(1536 * 1024));
        }
    }
}

// The splash screen through the runtime's bin\splashscreen.dll, a stand-in that notes its
// calls in the trace: between the library load and the JVM's creation, or one line says why
// not and the run goes on; an error line's message box takes it down first.
TEST(JvmHostingWine, SplashScreenBetweenLibraryLoadAndJvmCreation) {
    NOVIQ_SKIP_WITHOUT_WINE();
    const std::string shown = "splash: {dir}\\splash.png shown";
    // flags: the runtime has the l(ibrary), there is a d(isplay), the w(indowed) launcher.
    const struct {
        const char* mode;
        std::string parameters, flags;
        std::vector<std::string> inOrder;
        const char* absent;
    } cases[] = {
        {"returns",
         "",
         "ld",
         {"time: library load", "splash stub: SplashInit",
          "splash stub: SplashLoadFile {dir}\\splash.png",
          "splash stub: SplashSetFileJarName {dir}\\splash.png (none)", shown, "time: JVM creation",
          "main: returned"},
         "SplashClose"},
        {"missing-class",
         "",
         "ldw",
         {shown, "time: JVM creation", "splash stub: SplashClose", "main: not called"},
         "none,"},
        {"returns",
         "-Djava.awt.headless=false -Djava.awt.headless=TRUE",
         "ld",
         {"splash: none, the JVM runs headless", "main: returned"},
         "splash stub"},
        {"returns",
         "",
         "d",
         {"splash: none, the runtime has no {rt}\\bin\\splashscreen.dll", "main: returned"},
         "shown"},
        {"returns",
         "",
         "l",
         {"splash stub: SplashInit", "splash: none, there is no display", "main: returned"},
         "SplashLoadFile"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + c.parameters + " " + c.flags);
        ScriptedInstallation app(c.mode, withMain("", "\\lib\\a.jar", "Splash Screen=splash.png\n"),
                                 c.parameters);
        app.dir().write("splash.png", "image");
        if (c.flags.find('l') != std::string::npos)
            app.dir().copy(windowsFixture("splashscreen.dll"), "rt/bin/splashscreen.dll");
        if (c.flags.find('w') != std::string::npos)
            app.dir().copy(launcherBinary(Build::Windows).parent_path() / "noviqw.exe", "tool.exe");
        RunOptions options;
        options.notElevated = true; // appends to the trace file the stub writes too
        options.env = {{"NOVIQ_TRACE", toWindowsPath(app.dir().path() / "trace.txt")}};
        if (c.flags.find('d') == std::string::npos)
            options.env.push_back({"SPLASH_STUB_NO_DISPLAY", "1"});
        app.run(options);
        const std::string trace = readFile(app.dir().path() / "trace.txt");
        size_t at = 0;
        for (const std::string& line : c.inOrder) {
            at = trace.find(app.expand(line), at);
            ASSERT_NE(at, std::string::npos) << app.expand(line) << "\n" << trace;
        }
        EXPECT_EQ(trace.find(c.absent), std::string::npos) << trace;
    }
}

// "Restart Code": each System.exit(23) starts the launcher again with its arguments, as a
// new process waited for, sharing the standard handles; the sixth restart within a minute
// is refused and the process ends with 23. The windowed launcher's refusal is a message box.
TEST(JvmHostingWine, RestartCodeStartsTheLauncherAgain) {
    NOVIQ_SKIP_WITHOUT_WINE();
    for (const char* launcher : {"noviq.exe", "noviqw.exe"}) {
        SCOPED_TRACE(launcher);
        ScriptedInstallation app("exit:23", withMain("", "\\lib\\a.jar", "Restart Code=23\n"));
        app.dir().copy(launcherBinary(Build::Windows).parent_path() / launcher, "tool.exe");
        RunOptions options;
        options.notElevated = true; // every start appends to one trace file
        options.env = {{"NOVIQ_TRACE", toWindowsPath(app.dir().path() / "trace.txt")}};
        options.args = {"one", "two words"};
        const RunResult result = app.run(options);
        EXPECT_EQ(result.exitCode, 23u);
        EXPECT_EQ(countOf(result.out, "restarted at most 5 times within 60 seconds"),
                  std::string(launcher) == "noviq.exe" ? 1u : 0u);
        const std::string trace = readFile(app.dir().path() / "trace.txt");
        EXPECT_EQ(countOf(trace, "main: called"), 6u) << trace;
        for (int restart = 1; restart <= 5; ++restart)
            EXPECT_EQ(countOf(trace, "restart: exit code 23, restart " + std::to_string(restart) +
                                         " within 60 s"),
                      1u)
                << trace;
        EXPECT_EQ(countOf(trace, "restart: the new start ended with 23"), 5u) << trace;
        EXPECT_EQ(app.recorded("arg ").size(), 2u); // the last start's
    }
}

// ---- Linux: the system JDK ----

const std::string kJdk = "/usr/lib/jvm/java-17-openjdk-amd64";

fs::path appsJar() {
    return fs::path(NOVIQ_LINUX_BUILD_DIR) / "tests" / "java" / "apps.jar";
}

// The launcher as <dir>/tool beside tool.ini ("JRE Path", "Main Class" and the rest as given)
// and the test applications as <dir>/apps.jar. "{dir}" stands for the folder.
struct JdkInstallation {
    ScenarioDir dir;

    JdkInstallation(const std::string& mainClass, const std::string& settings,
                    bool embedJar = false) {
        if (embedJar) { // the classes appended to the executable, as a packager may ship them
            dir.write("tool", readFile(launcherBinary(Build::Linux)) + readFile(appsJar()));
            fs::permissions(dir.path() / "tool", fs::perms::owner_all);
        } else {
            dir.copy(launcherBinary(Build::Linux), "tool");
        }
        dir.copy(appsJar(), "apps.jar");
        dir.write("tool.ini", expand("[Java Runtime Environment]\nJRE Path=" + kJdk +
                                     "\nMain Class=" + mainClass + "\n" + settings));
    }
    std::string expand(const std::string& text) const {
        return replaceAll(text, "{dir}", dir.path().string());
    }
    RunResult run(RunOptions options = {}) const {
        options.timeoutSeconds = 20; // a JVM left waiting for an attached thread fails fast
        return test::run(Build::Linux, dir.path() / "tool", options);
    }
};

const char kAppsJar[] = "[Class Path]\nClass Path=apps.jar\n";

// One start, what reaches the real JDK: the class path (wildcards matched in order without
// "." and "..", missing entries left out, a written "." as the application's folder, the
// executable itself for "Embedded Jar"), options taken as java takes them (the library path,
// PATH and -Dsun.java.command are the unit PrepareEnvironment and JavaCommand tests'), and
// the arguments as exact UTF-16 between "Leading Cmd" and "Cmd".
// noviq.apps.ShowArgs prints the properties, input arguments ("@input") and variables
// ("@env:") that -Dshow names.
TEST(JvmHostingLinux, WhatReachesTheJvm) {
    const uint64_t physicalKb = static_cast<uint64_t>(sysconf(_SC_PHYS_PAGES)) *
                                    static_cast<uint64_t>(sysconf(_SC_PAGESIZE)) >>
                                10;
    JdkInstallation app("noviq.apps.ShowArgs",
                        "Virtual Machine Parameters=-Dshow=java.class.path,@input -Xmx25P "
                        "--add-opens java.base/java.lang=ALL-UNNAMED @jvm.args\n"
                        "[Class Path]\nClass Path=lib/*:/nowhere/x.jar::lib/gone.jar:.\n"
                        "[Application]\nEmbedded Jar=yes\nCmd=-a \"b c\"\nLeading Cmd=--main "
                        "\"m n\"\n",
                        true);
    for (const char* jar : {"lib/b.jar", "lib/a.jar", "lib/\xC3\xA9.jar"})
        app.dir.copy(appsJar(), jar);
    app.dir.write("jvm.args", "-p mods # the module path\n'-Dq=a b'\n");
    RunOptions options;
    options.args = {"caf\xC3\xA9", "\xE6\x97\xA5\xE6\x9C\xAC", "\xF0\x9F\x98\x80", "two words", ""};
    const RunResult result = app.run(options);
    EXPECT_EQ(result.exitCode, 0u) << result.err;
    // The text is printed in the JVM's default encoding; the UTF-16 code units are exact.
    std::vector<std::string> units, rest;
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("arg[", 0) == 0)
            units.push_back(line.substr(line.find(" |") + 2));
        else
            rest.push_back(line);
    EXPECT_EQ(units, (std::vector<std::string>{" 002D 002D 006D 0061 0069 006E", " 006D 0020 006E",
                                               " 0063 0061 0066 00E9", " 65E5 672C", " D83D DE00",
                                               " 0074 0077 006F 0020 0077 006F 0072 0064 0073", "",
                                               " 002D 0061", " 0062 0020 0063"}))
        << result.out;
    EXPECT_EQ(rest, (std::vector<std::string>{
                        "args=9",
                        app.expand("prop java.class.path={dir}/lib/a.jar:{dir}/lib/b.jar:{dir}/lib/"
                                   "\xC3\xA9.jar:/nowhere/x.jar:{dir}/.:{dir}/tool"),
                        "input=vfprintf", "input=abort", "input=exit",
                        "input=-Dshow=java.class.path,@input",
                        "input=-Xmx" + std::to_string(physicalKb / 4) + "K",
                        "input=--add-opens=java.base/java.lang=ALL-UNNAMED",
                        "input=--module-path=mods", "input=-Dq=a b"}))
        << result.out;
}

// Both streams named in two spellings of one file, in a folder that does not exist yet:
// one stream, nothing written over.
TEST(JvmHostingLinux, StreamsRedirectedIntoANewFolder) {
    JdkInstallation app("noviq.apps.Throws", std::string(kAppsJar) +
                                                 "[Application]\nOutput File=%LOGS%/new/log.txt\n"
                                                 "Error File={dir}/logs/new/./log.txt\n");
    RunOptions options;
    options.env = {{"LOGS", (app.dir.path() / "logs").string()}};
    const RunResult result = app.run(options);
    EXPECT_EQ(result.out + result.err, "");
    EXPECT_EQ(readFile(app.dir.path() / "logs/new/log.txt")
                  .rfind("about to throw\nException in thread \"main\" java.lang.IllegalState", 0),
              0u);
}

// A file that is no loadable library ends the start with an error line, never with a crash
// or a hang.
TEST(JvmHostingLinux, HostileFilesFailCleanly) {
    const std::string truncated = readFile(kJdk + "/lib/server/libjvm.so").substr(0, 2 << 20);
    const struct {
        const char* name;
        std::function<void(ScenarioDir&)> prepare;
        std::string out;
    } cases[] = {
        {"truncated library",
         [&](ScenarioDir& d) { d.write("rt/lib/server/libjvm.so", truncated); },
         "Error: Failed to load Java VM library: {dir}/rt/lib/server/libjvm.so (errno = 8). \n"},
        {"FIFO as the library",
         [](ScenarioDir& d) {
             d.write("rt/lib/server/keep", "");
             ASSERT_EQ(mkfifo((d.path() / "rt/lib/server/libjvm.so").c_str(), 0600), 0);
         },
         "Error: Failed to load Java VM library: {dir}/rt/lib/server/libjvm.so (errno = 8). \n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        JdkInstallation app("noviq.apps.Hello", std::string(kAppsJar));
        app.dir.write("tool.ini", "[Java Runtime Environment]\nJRE Path=rt\nMain Class=Hello\n" +
                                      std::string(kAppsJar));
        c.prepare(app.dir);
        const RunResult result = app.run();
        EXPECT_EQ(result.out, app.expand(c.out));
        EXPECT_EQ(result.exitCode, 255u);
    }
}

TEST(JvmHostingLinux, StackSizeOfTheJavaMainThreadFollowsXss) {
    auto depthWith = [](const std::string& parameters) {
        JdkInstallation app("noviq.apps.StackDepth",
                            "Virtual Machine Parameters=-Xint " + parameters + "\n" + kAppsJar);
        const RunResult result = app.run();
        EXPECT_EQ(result.exitCode, 0u) << result.err;
        return result.out.rfind("depth=", 0) == 0 ? std::stol(result.out.substr(6)) : 0L;
    };
    const long small = depthWith("-Xss256k");
    const long large = depthWith("-Xss1m -Xss8m"); // the last one counts
    const long byDefault = depthWith("");          // the JVM's JNI 1.1 default: 1 MB here
    EXPECT_GT(small, 0);
    EXPECT_GT(large, 8 * small) << small << " " << large;
    EXPECT_GT(byDefault, 2 * small) << small << " " << byDefault;
    EXPECT_LT(byDefault, large / 4) << byDefault << " " << large;
}

// "Restart Code": System.exit with it starts the launcher again with its arguments and its
// environment (neither the rebuilt PATH nor the launcher's count: every start prints the same
// digest); the sixth restart within a minute is refused with one error line, and the process
// ends with the code.
TEST(JvmHostingLinux, RestartCodeStartsTheApplicationAgain) {
    JdkInstallation app("noviq.apps.Exits",
                        std::string(kAppsJar) + "[Application]\nRestart Code=23\n");
    RunOptions options;
    options.args = {"23"};
    const RunResult loop = app.run(options);
    EXPECT_EQ(loop.exitCode, 23u) << loop.err;
    const std::string first = loop.out.substr(0, loop.out.find('\n') + 1);
    EXPECT_EQ(first.rfind("Exits 23 in " + app.dir.path().string() + " environment ", 0), 0u)
        << loop.out;
    EXPECT_EQ(countOf(loop.out, first), 6u) << loop.out;
    EXPECT_EQ(countOf(loop.out, "Error: The application ended with its restart code 23 again: it "
                                "is restarted at most 5 times within 60 seconds."),
              1u)
        << loop.out;
}

} // namespace
} // namespace noviq::test
