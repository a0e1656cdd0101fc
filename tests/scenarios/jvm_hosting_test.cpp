// The launcher hosting a JVM, checked from what reaches the JVM (options in order, class
// path, arguments as UTF-16, thread stack, environment, redirected streams) and how each
// ending maps to the exit code. Under Wine the Windows launcher hosts the scripted JNI runtime
// (tests/fixtures/scripted_jvm) in place of a jvm.dll, which records what it is given; the
// Linux launcher hosts the system JDK running the Java test applications (tests/java).
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <regex>
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

TEST(JvmHostingWine, OptionsArgumentsAndEnvironmentArriveExactly) {
    NOVIQ_SKIP_WITHOUT_WINE();
    ScriptedInstallation app("returns",
                             withMain("Library Path=C:\\native\nSystem Path=C:\\tools\n",
                                      "\\lib\\a.jar", "Cmd=-c \"d e\"\n"),
                             "-Xmx512m \"-Dq=a b\" -Xss1m --add-reads m=n @jvm.args");
    app.dir().write("jvm.args", "-p 'C:\\\\mods' # the module path\r\n");
    RunOptions options;
    // tool.exe plain "two words" 日本 😀 é   (UTF-8 here; the launcher gets UTF-16)
    options.windowsCommandLine = "tool.exe plain \"two words\" \xE6\x97\xA5\xE6\x9C\xAC "
                                 "\xF0\x9F\x98\x80 \xC3\xA9";
    const RunResult result = app.run(options);
    ASSERT_EQ(result.exitCode, 0u) << result.out << result.err;

    EXPECT_EQ(app.recordedOnce("version "), "00010002");
    EXPECT_EQ(app.recordedOnce("ignoreUnrecognized "), "0");
    const std::string path = app.recordedOnce("env Path=");
    const std::string head = "C:\\tools;", tail = app.expand(";{rt}\\bin");
    ASSERT_EQ(path.rfind(head, 0), 0u) << path;
    ASSERT_EQ(path.substr(path.size() - tail.size()), tail) << path;
    const std::string oldPath = path.substr(head.size(), path.size() - head.size() - tail.size());
    const std::vector<std::string> expected = {
        app.expand("-Djava.library.path=C:\\native;{dir}\\;") + oldPath + app.expand(";{rt}\\lib"),
        app.expand("-Djava.class.path={dir}\\lib\\a.jar"),
        "-Dscripted.record=" + toWindowsPath(app.dir().path() / "record.txt"),
        "-Dscripted.mode=returns",
        "-Xmx512m",
        "-Dq=a b",
        "-Xss1m",
        "--add-reads=m=n",
        "--module-path=C:\\mods",
    };
    // Last, what the JDK's tools name the application by: the arguments in the code page.
    std::vector<std::string> received = app.recorded("option ");
    ASSERT_FALSE(received.empty());
    const std::string command = received.back();
    received.pop_back();
    EXPECT_EQ(received, expected);
    EXPECT_EQ(command.rfind("-Dsun.java.command=noviq.Main plain two words ", 0), 0u) << command;
    EXPECT_EQ(command.substr(command.size() - 7), " -c d e") << command;
    EXPECT_EQ(app.recorded("hook "), (std::vector<std::string>{"vfprintf 1", "abort 1", "exit 1"}));
    EXPECT_EQ(app.recordedOnce("env NOVIQ_JVM_PATH="), app.expand("{rt}\\bin\\server\\jvm.dll"));
    EXPECT_EQ(app.recordedOnce("env NOVIQ_JVM_HOME="), app.expand("{rt}"));
    EXPECT_EQ(app.recorded("arg "),
              (std::vector<std::string>{"0070 006C 0061 0069 006E",
                                        "0074 0077 006F 0020 0077 006F 0072 0064 0073", "65E5 672C",
                                        "D83D DE00", "00E9", "002D 0063", "0064 0020 0065"}));
    EXPECT_EQ(app.recordedOnce("main "), "noviq/Main");
}

// The class path forms, and the Java main thread's stack: the -Xss size, else the size the
// runtime's JNI 1.1 defaults give (asked for only then). Wine gives every thread at least
// 1 MB (Windows honours smaller sizes too), and the launcher's image asks for 2 MB by
// default: the sizes here tell all three apart. (Wildcards and the last of several -Xss are
// the core's, checked with the real JDK below.)
TEST(JvmHostingWine, ClassPathAndMainThreadStack) {
    NOVIQ_SKIP_WITHOUT_WINE();
    const uint64_t jniDefault = 1536 * 1024;
    const struct {
        const char* classPath;
        const char* embedded;
        std::string expected; // the class path option
        const char* parameters;
        uint64_t stack;
    } cases[] = {
        // -Xss2:0:5T: 2% of the free address space, at most 5 MB.
        {"D:\\libs\\x.jar;;\\\\srv\\share\\y.jar;\\lib\\gone.jar", "",
         "D:\\libs\\x.jar;\\\\srv\\share\\y.jar", "-Xss2:0:5T", 5 << 20},
        {"%APP_LIB%\\a.jar", "", "{dir}\\lib\\a.jar", "", jniDefault}, // absolute once expanded
        {"\\lib\\a.jar", "yes", "{dir}\\lib\\a.jar;{dir}\\tool.exe", "", jniDefault},
        {"", "YES", "{dir}\\tool.exe", "", jniDefault},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.classPath) + " " + c.parameters);
        ScriptedInstallation app(
            "returns", withMain("", c.classPath, std::string("Embedded Jar=") + c.embedded + "\n"),
            c.parameters);
        RunOptions options;
        options.env = {{"APP_LIB", toWindowsPath(app.dir().path() / "lib")}};
        app.run(options);
        EXPECT_EQ(app.recordedOnce("option -Djava.class.path="), app.expand(c.expected));
        EXPECT_EQ(app.recorded("defaults "), c.stack == jniDefault
                                                 ? std::vector<std::string>{"00010001 1"}
                                                 : std::vector<std::string>{});
        EXPECT_EQ(app.recordedOnce("stack "), std::to_string(c.stack));
    }
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
        {"throws", "", "scripted main throws\n", uncaught, 1, true},
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
    }
}

// The splash screen through the runtime's bin\splashscreen.dll, a stand-in that notes its
// calls in the trace: between the library load and the JVM's creation, or one line says why
// not and the run goes on; an error line's message box takes it down first.
TEST(JvmHostingWine, SplashScreenBetweenLibraryLoadAndJvmCreation) {
    NOVIQ_SKIP_WITHOUT_WINE();
    const std::string shown = "splash: {dir}\\splash.png shown";
    const struct {
        const char* mode;
        std::string parameters;
        bool library, display, windowed;
        std::vector<std::string> inOrder;
        const char* absent;
    } cases[] = {
        {"returns",
         "",
         true,
         true,
         false,
         {"time: library load", "splash stub: SplashInit",
          "splash stub: SplashLoadFile {dir}\\splash.png",
          "splash stub: SplashSetFileJarName {dir}\\splash.png (none)", shown, "time: JVM creation",
          "main: returned"},
         "SplashClose"},
        {"missing-class",
         "",
         true,
         true,
         true,
         {shown, "time: JVM creation", "splash stub: SplashClose", "main: not called"},
         "none,"},
        {"returns",
         "-Djava.awt.headless=false -Djava.awt.headless=TRUE",
         true,
         true,
         false,
         {"splash: none, the JVM runs headless", "main: returned"},
         "splash stub"},
        {"returns",
         "",
         false,
         true,
         false,
         {"splash: none, the runtime has no {rt}\\bin\\splashscreen.dll", "main: returned"},
         "shown"},
        {"returns",
         "",
         true,
         false,
         false,
         {"splash stub: SplashInit", "splash: none, there is no display", "main: returned"},
         "SplashLoadFile"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + c.parameters + (c.library ? " library" : "") +
                     (c.display ? " display" : "") + (c.windowed ? " windowed" : ""));
        ScriptedInstallation app(c.mode, withMain("", "\\lib\\a.jar", "Splash Screen=splash.png\n"),
                                 c.parameters);
        app.dir().write("splash.png", "image");
        if (c.library)
            app.dir().copy(windowsFixture("splashscreen.dll"), "rt/bin/splashscreen.dll");
        if (c.windowed)
            app.dir().copy(launcherBinary(Build::Windows).parent_path() / "noviqw.exe", "tool.exe");
        RunOptions options;
        options.notElevated = true; // appends to the trace file the stub writes too
        options.env = {{"NOVIQ_TRACE", toWindowsPath(app.dir().path() / "trace.txt")}};
        if (!c.display)
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

// What noviq.apps.ShowArgs prints of the properties, input arguments ("@input") and
// variables ("@env:") that -Dshow names.
TEST(JvmHostingLinux, ClassPathOptionsAndEnvironment) {
    const uint64_t physicalKb = static_cast<uint64_t>(sysconf(_SC_PHYS_PAGES)) *
                                    static_cast<uint64_t>(sysconf(_SC_PAGESIZE)) >>
                                10;
    const auto classPath = [](const std::string& value, const char* embedded = "no") {
        return "Virtual Machine Parameters=-Dshow=java.class.path\n[Class Path]\nClass Path=" +
               value + "\n[Application]\nEmbedded Jar=" + embedded;
    };
    // No option holds an empty element or "." (both the current folder to Java), and no
    // name a search found is expanded again.
    const struct {
        std::string settings;
        std::string expected;               // printed after "args=0\n"
        std::vector<std::string> jars = {}; // copies of apps.jar
        std::string argumentFile = "";      // jvm.args
    } cases[] = {
        {classPath("lib/*.jar"),
         "prop java.class.path={dir}/lib/a.jar:{dir}/lib/b.jar\n",
         {"lib/b.jar", "lib/a.jar", "lib/notes.txt"}},
        // "*" also matches the folder's "." and "..", which are no class path entries.
        {classPath("lib/*"), "prop java.class.path={dir}/lib/a.jar\n", {"lib/a.jar"}},
        {classPath("lib/?.jar:lib/p*"),
         "prop java.class.path={dir}/lib/\xC3\xA9.jar:{dir}/lib/p%GREETING%q.jar\n",
         {"lib/\xC3\xA9.jar", "lib/p%GREETING%q.jar"}},
        {classPath("lib/gone.jar::/nowhere/x.jar:%APP_HOME%/lib/a.jar"),
         "prop java.class.path=/nowhere/x.jar:{dir}/lib/a.jar\n",
         {"lib/a.jar"}},
        // A written "." is the application's folder; a variable holding a list counts entry
        // by entry; a name holding the separator could not be passed as one entry.
        {classPath(".:%CPX%:lib/*.jar"),
         "prop java.class.path={dir}/.:{dir}/lib/a.jar:{dir}/.:{dir}/lib/a.jar\n",
         {"lib/a.jar", "lib/x:y.jar"}},
        {classPath("", "yes"), "prop java.class.path={dir}/tool\n"},
        {"Virtual Machine Parameters=-Dshow=@input -Xmx25P  \"-Dgreeting=hello  there\"   "
         "-Dfrom.env=%GREETING%x \n" +
             std::string(kAppsJar),
         "input=vfprintf\ninput=abort\ninput=exit\ninput=-Dshow=@input\ninput=-Xmx" +
             std::to_string(physicalKb / 4) +
             "K\ninput=-Dgreeting=hello  there\ninput=-Dfrom.env=hix\n"},
        // Options as java takes them: the JDK takes the two-word module options joined.
        {"Virtual Machine Parameters=-Dshow=@input --add-opens java.base/java.lang=ALL-UNNAMED "
         "@jvm.args\n" +
             std::string(kAppsJar),
         "input=vfprintf\ninput=abort\ninput=exit\ninput=-Dshow=@input\ninput=--add-"
         "opens=java.base/java.lang=ALL-UNNAMED\ninput=--module-path=lib\ninput=-Dq=a b\n",
         {"lib/a.jar"},
         "-p lib # the module path\n'-Dq=a b'\n"},
        {"Virtual Machine Parameters=-Dshow=java.library.path,@env:PATH,@env:NOVIQ_JVM_HOME\n"
         "Library Path=/opt/native\nSystem Path=/opt/tools:\n" +
             std::string(kAppsJar),
         "prop java.library.path=/opt/native:{dir}/:/usr/bin:/bin:" + kJdk +
             "/lib\nenv PATH=/opt/tools:/usr/bin:/bin:" + kJdk +
             "/bin\nenv NOVIQ_JVM_HOME=" + kJdk + "\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.settings);
        JdkInstallation app("noviq.apps.ShowArgs", c.settings,
                            c.settings.find("Embedded Jar=yes") != std::string::npos);
        for (const std::string& jar : c.jars)
            app.dir.copy(appsJar(), jar);
        app.dir.write("jvm.args", c.argumentFile);
        RunOptions options;
        options.env = {{"APP_HOME", app.dir.path().string()},
                       {"GREETING", "hi"},
                       {"PATH", "/usr/bin:/bin"},
                       {"CPX", (app.dir.path() / "lib/a.jar").string() + ":.:rel.jar"}};
        const RunResult result = app.run(options);
        EXPECT_EQ(result.out, app.expand("args=0\n" + c.expected));
        EXPECT_EQ(result.exitCode, 0u) << result.err;
    }
}

// "Leading Cmd" goes first, "Cmd" last; the JDK's tools see the main class and all of them.
TEST(JvmHostingLinux, ArgumentsArriveAsExactUtf16BetweenLeadingCmdAndCmd) {
    JdkInstallation app("noviq.apps.ShowArgs",
                        "Virtual Machine Parameters=-Dshow=sun.java.command\n" +
                            std::string(kAppsJar) +
                            "[Application]\nCmd=-a \"b c\"\nLeading Cmd=--main \"m n\"\n");
    RunOptions options;
    options.args = {"caf\xC3\xA9", "\xE6\x97\xA5\xE6\x9C\xAC", "\xF0\x9F\x98\x80", "two words", ""};
    const RunResult result = app.run(options);
    // The text is printed in the JVM's default encoding; the UTF-16 code units are exact.
    std::istringstream lines(result.out);
    std::vector<std::string> units;
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("arg[", 0) == 0)
            units.push_back(line.substr(line.find(" |") + 2));
    EXPECT_EQ(units, (std::vector<std::string>{" 002D 002D 006D 0061 0069 006E", " 006D 0020 006E",
                                               " 0063 0061 0066 00E9", " 65E5 672C", " D83D DE00",
                                               " 0074 0077 006F 0020 0077 006F 0072 0064 0073", "",
                                               " 002D 0061", " 0062 0020 0063"}))
        << result.out;
    EXPECT_NE(result.out.find("\nprop sun.java.command=noviq.apps.ShowArgs --main m n caf"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(result.exitCode, 0u);
}

TEST(JvmHostingLinux, StreamsRedirectedIntoNewFolders) {
    JdkInstallation app("noviq.apps.Throws",
                        std::string(kAppsJar) +
                            "[Application]\nOutput File={dir}/logs/new/out.txt\n"
                            "Error File=%LOGS%/err/err.txt\n");
    app.dir.write("logs/new/out.txt", "left from the last run, longer than the new output\n");
    RunOptions options;
    options.env = {{"LOGS", (app.dir.path() / "elsewhere").string()}};
    const RunResult result = app.run(options);
    EXPECT_EQ(result.out + result.err, "");
    EXPECT_EQ(readFile(app.dir.path() / "logs/new/out.txt"), "about to throw\n");
    EXPECT_EQ(readFile(app.dir.path() / "elsewhere/err/err.txt")
                  .rfind("Exception in thread \"main\" java.lang.IllegalStateException", 0),
              0u);

    // One file named twice, in two spellings: one stream, nothing written over.
    JdkInstallation shared("noviq.apps.Throws", std::string(kAppsJar) +
                                                    "[Application]\nOutput File={dir}/log.txt\n"
                                                    "Error File={dir}/./log.txt\n");
    EXPECT_EQ(shared.run().out, "");
    EXPECT_EQ(readFile(shared.dir.path() / "log.txt")
                  .rfind("about to throw\nException in thread \"main\" java.lang.IllegalState", 0),
              0u);
}

// A file that is no loadable library, or an INI file far too large to be one, ends the start
// with an error line, never with a crash or a hang.
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
        {"INI file over 64 MiB",
         [](ScenarioDir& d) { fs::resize_file(d.path() / "tool.ini", 65u << 20); },
         "Error: The INI file {dir}/tool.ini is larger than 64 MB. \n"},
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

TEST(JvmHostingLinux, HowTheRunEnds) {
    const bool root = geteuid() == 0;
    const struct {
        const char* mainClass;
        std::string settings; // more keys of the runtime section, then other sections
        std::string out;
        std::string errOnce; // must appear exactly once; empty: stderr stays empty
        uint32_t exitCode;
        double minSeconds;
    } cases[] = {
        {"noviq.apps.Hello", "", "Hello\n", "", 0, 0},
        // An output file that cannot be opened (here a folder) leaves the stream where it was;
        // root's start opens it itself (never through a link) and says why it is not used.
        {"noviq.apps.Hello", "[Application]\nOutput File={dir}\n",
         std::string(root ? "Error: The file {dir} is not used for the Java stream: it cannot "
                            "be opened: Is a directory. \n"
                          : "") +
             "Hello\n",
         root ? "" : "java.io.FileNotFoundException", 0, 0},
        {"noviq.apps.Exits", "", "", "", 3, 0},
        // An uncaught exception ends the process with 1, as it does under java.
        {"noviq.apps.Throws", "", "about to throw\n",
         "java.lang.IllegalStateException: thrown from main", 1, 0},
        {"noviq.apps.Throws", "[Application]\nFailure Check=YES\n", "about to throw\n",
         "java.lang.IllegalStateException: thrown from main", 1, 0},
        // A stack too small for the JVM to start on: the JVM refuses the value itself.
        {"noviq.apps.Hello", "Virtual Machine Parameters=-Xss16k\n",
         "\nThe Java thread stack size specified is too small. Specify at least 136k\n"
         "Error: JNI exception: failed to create the Java VM\nReason: The Java thread stack "
         "size specified is too small. Specify at least 136k. \n",
         "", 255, 0},
        {"noviq.apps.Lingers", "", "main done\nworker done\n", "", 0, 0.9},
        {"noviq.apps.ExitsLater", "", "main done\n", "", 0, 0},
        {"noviq.apps.ExitsLater", "VM Provider=any\n", "main done\nexiting\n", "", 7, 0.6},
        {"com.example.Missing", "", "Error: Could not find the main class com/example/Missing. \n",
         "java.lang.NoClassDefFoundError: com/example/Missing", 255, 0},
        {"noviq.apps.InstanceMain", "", "",
         "java.lang.NoSuchMethodError: static Lnoviq/apps/InstanceMain;.main", 255, 0},
        // The JVM's own words reach the stream it meant, pieces joined into lines, and the
        // error line names the first of them; some failures end the process from inside
        // the JVM's creation, with its own code.
        {"noviq.apps.Hello", "Virtual Machine Parameters=-Xlog:bogus\n",
         "[T][error][logging] Invalid tag 'bogus' in log selection.\n"
         "Error: JNI exception: failed to create the Java VM\nReason: [T][error][logging] "
         "Invalid tag 'bogus' in log selection. \n",
         "Invalid -Xlog option '-Xlog:bogus', see error log for details.\n", 255, 0},
        // A warning's heading comes through the hook, its body past it.
        {"noviq.apps.Hello", "Virtual Machine Parameters=-Xverify:none -Xmx100000g\n",
         "Error occurred during initialization of VM\nCould not reserve enough space for "
         "104857600000KB object heap\nError: JNI exception: failed to create the Java VM\n"
         "Reason: Could not reserve enough space for 104857600000KB object heap. \n",
         "OpenJDK 64-Bit Server VM warning: Options -Xverify:none", 1, 0},
        // Without a class path no JVM is created: its default would be the current folder.
        {"noviq.apps.Hello", "[Class Path]\nClass Path=none*.jar\n",
         "Error: Java Class Path was not specified in INI file. \n", "", 255, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.mainClass) + " " + c.settings);
        const bool ownClassPath = c.settings.find("[Class Path]") != std::string::npos;
        JdkInstallation app(c.mainClass, c.settings + (ownClassPath ? "" : kAppsJar));
        const auto start = std::chrono::steady_clock::now();
        const RunResult result = app.run();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        // The JVM's log lines carry its uptime.
        EXPECT_EQ(std::regex_replace(result.out, std::regex(R"(\[[0-9.]+s\])"), "[T]"),
                  app.expand(c.out));
        EXPECT_EQ(c.errOnce.empty() ? result.err.size() : countOf(result.err, c.errOnce),
                  c.errOnce.empty() ? 0u : 1u)
            << result.err;
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_GE(took.count(), c.minSeconds);
    }
}

// "Restart Code": System.exit with it starts the launcher again with its arguments and its
// environment (neither the rebuilt PATH nor the launcher's count); the sixth restart within
// a minute is refused with one error line, and the process ends with the code.
TEST(JvmHostingLinux, RestartCodeStartsTheApplicationAgain) {
    JdkInstallation app("noviq.apps.Exits",
                        std::string(kAppsJar) + "[Application]\nRestart Code=23\n");
    const std::string marker = (app.dir.path() / "marker").string();
    RunOptions options;
    options.args = {"23", marker};
    const RunResult once = app.run(options);
    EXPECT_EQ(once.exitCode, 0u) << once.err;
    const std::string first = once.out.substr(0, once.out.find('\n') + 1);
    EXPECT_EQ(first.rfind("Exits 23 " + marker + " in ", 0), 0u) << once.out;
    EXPECT_EQ(once.out, first + first);

    options.args = {"23"};
    const RunResult loop = app.run(options);
    EXPECT_EQ(loop.exitCode, 23u) << loop.err;
    EXPECT_EQ(countOf(loop.out, "Exits 23 in "), 6u) << loop.out;
    EXPECT_EQ(countOf(loop.out, "Error: The application ended with its restart code 23 again: it "
                                "is restarted at most 5 times within 60 seconds."),
              1u)
        << loop.out;
}

} // namespace
} // namespace noviq::test
