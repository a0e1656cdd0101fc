// The Linux launcher hosting the system JDK: class path forms, virtual-machine parameters,
// arguments, redirected streams, environment, thread stack size and the ways a run ends,
// checked from what the Java test applications (tests/java) print.
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <sstream>
#include <unistd.h>

#include "harness.h"

namespace fs = std::filesystem;

namespace noviq::test {
namespace {

const std::string kJdk = "/usr/lib/jvm/java-17-openjdk-amd64";

fs::path appsJar() {
    return fs::path(NOVIQ_LINUX_BUILD_DIR) / "tests" / "java" / "apps.jar";
}

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

size_t countOf(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// The launcher as <dir>/tool beside tool.ini ("JRE Path", "Main Class" and the rest as given)
// and the test applications as <dir>/apps.jar. "{dir}" stands for the folder.
struct Installation {
    ScenarioDir dir;

    Installation(const std::string& mainClass, const std::string& settings, bool embedJar = false) {
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
    std::string expand(std::string text) const {
        for (size_t at = text.find("{dir}"); at != std::string::npos; at = text.find("{dir}"))
            text.replace(at, 5, dir.path().string());
        return text;
    }
    RunResult run(RunOptions options = {}) const {
        options.timeoutSeconds = 20; // a JVM left waiting for an attached thread fails fast
        return test::run(Build::Linux, dir.path() / "tool", options);
    }
};

const char kAppsJar[] = "[Class Path]\nClass Path=apps.jar\n";

TEST(JvmHostingLinux, ClassPathForms) {
    const struct {
        std::vector<std::string> files;
        std::string classPath;
        bool embedded;
        std::string expected; // java.class.path as the application sees it
    } cases[] = {
        {{"lib/b.jar", "lib/a.jar", "lib/notes.txt"},
         "lib/*.jar",
         false,
         "{dir}/lib/a.jar:{dir}/lib/b.jar:"},
        {{"lib/a.jar"}, "lib/*", false, "{dir}/lib/.:{dir}/lib/..:{dir}/lib/a.jar:"},
        {{"lib/a.jar"},
         "lib/gone.jar::/nowhere/x.jar:%APP_HOME%/lib/a.jar",
         false,
         "/nowhere/x.jar:{dir}/lib/a.jar:"},
        {{}, "", true, "{dir}/tool"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.classPath);
        Installation app(
            "noviq.apps.ShowArgs",
            "Virtual Machine Parameters=-Dshow=java.class.path\n[Class Path]\nClass Path=" +
                c.classPath + "\n[Application]\nEmbedded Jar=" + (c.embedded ? "yes" : "no"),
            c.embedded);
        for (const std::string& file : c.files)
            app.dir.copy(appsJar(), file);
        RunOptions options;
        options.env = {{"APP_HOME", app.dir.path().string()}};
        const RunResult result = app.run(options);
        EXPECT_EQ(result.out, "args=0\nprop java.class.path=" + app.expand(c.expected) + "\n");
        EXPECT_EQ(result.exitCode, 0u) << result.err;
    }
}

TEST(JvmHostingLinux, VirtualMachineParameters) {
    const uint64_t physicalKb = static_cast<uint64_t>(sysconf(_SC_PHYS_PAGES)) *
                                    static_cast<uint64_t>(sysconf(_SC_PAGESIZE)) >>
                                10;
    const struct {
        std::string parameters;
        std::string inputs; // what the JVM lists as its input arguments, in order
    } cases[] = {
        {"-Xmx25P", "-Xmx" + std::to_string(physicalKb / 4) + "K"},
        {"-Xms1:64:32P -Xmx512m", "-Xms65536K|-Xmx512m"},
        {"  \"-Dgreeting=hello  there\"   -Dfrom.env=%GREETING%x ",
         "-Dgreeting=hello  there|-Dfrom.env=hix"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.parameters);
        Installation app("noviq.apps.ShowArgs", "Virtual Machine Parameters=-Dshow=@input " +
                                                    c.parameters + "\n" + kAppsJar);
        RunOptions options;
        options.env = {{"GREETING", "hi"}};
        const RunResult result = app.run(options);
        std::string expected =
            "args=0\ninput=-Dshow=@input\ninput=" + c.inputs + "\ninput=abort\ninput=exit\n";
        for (size_t at = expected.find('|'); at != std::string::npos; at = expected.find('|'))
            expected.replace(at, 1, "\ninput=");
        EXPECT_EQ(result.out, expected);
        EXPECT_EQ(result.exitCode, 0u) << result.err;
    }
}

TEST(JvmHostingLinux, ArgumentsArriveAsExactUtf16AndCmdFollowsThem) {
    Installation app("noviq.apps.ShowArgs",
                     std::string(kAppsJar) + "[Application]\nCmd=-a \"b c\"\n");
    RunOptions options;
    options.args = {"caf\xC3\xA9", "\xE6\x97\xA5\xE6\x9C\xAC", "\xF0\x9F\x98\x80", "two words", ""};
    const RunResult result = app.run(options);
    // The text is printed in the JVM's default encoding; the UTF-16 code units are exact.
    std::istringstream lines(result.out);
    std::vector<std::string> units;
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("arg[", 0) == 0)
            units.push_back(line.substr(line.find(" |") + 2));
    EXPECT_EQ(units, (std::vector<std::string>{" 0063 0061 0066 00E9", " 65E5 672C", " D83D DE00",
                                               " 0074 0077 006F 0020 0077 006F 0072 0064 0073", "",
                                               " 002D 0061", " 0062 0020 0063"}))
        << result.out;
    EXPECT_EQ(result.exitCode, 0u);
}

TEST(JvmHostingLinux, EnvironmentForTheJvm) {
    Installation app(
        "noviq.apps.ShowArgs",
        "Virtual Machine Parameters=-Dshow=java.library.path,@env:PATH,@env:NOVIQ_JVM_HOME\n"
        "Library Path=/opt/native\nSystem Path=/opt/tools:\n" +
            std::string(kAppsJar));
    RunOptions options;
    options.env = {{"PATH", "/usr/bin:/bin"}};
    const RunResult result = app.run(options);
    EXPECT_EQ(result.out,
              app.expand("args=0\nprop java.library.path=/opt/native:{dir}/:.:/usr/bin:/bin:" +
                         kJdk + "/lib\nenv PATH=/opt/tools:/usr/bin:/bin:" + kJdk +
                         "/bin\nenv NOVIQ_JVM_HOME=" + kJdk + "\n"));
    EXPECT_EQ(result.exitCode, 0u) << result.err;
}

TEST(JvmHostingLinux, StreamsRedirectedIntoNewFolders) {
    Installation app("noviq.apps.Throws", std::string(kAppsJar) +
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

    // A file that cannot be opened (here a folder) leaves the stream where it was.
    Installation folder("noviq.apps.Hello",
                        std::string(kAppsJar) + "[Application]\nOutput File={dir}\n");
    const RunResult kept = folder.run();
    EXPECT_EQ(kept.out, "Hello\n");
    EXPECT_EQ(countOf(kept.err, "java.io.FileNotFoundException"), 1u) << kept.err;
    EXPECT_EQ(kept.exitCode, 0u);
}

TEST(JvmHostingLinux, StackSizeOfTheJavaMainThreadFollowsXss) {
    auto depthWith = [](const std::string& parameters) {
        Installation app("noviq.apps.StackDepth",
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
    const struct {
        const char* mainClass;
        std::string settings; // more keys of the runtime section, then other sections
        std::string out;
        std::string errOnce; // must appear exactly once; empty: stderr stays empty
        uint32_t exitCode;
        double minSeconds;
    } cases[] = {
        {"noviq.apps.Hello", "", "Hello\n", "", 0, 0},
        {"noviq.apps.Exits", "", "", "", 3, 0},
        {"noviq.apps.Throws", "", "about to throw\n",
         "java.lang.IllegalStateException: thrown from main", 0, 0},
        {"noviq.apps.Throws", "[Application]\nFailure Check=YES\n", "about to throw\n",
         "java.lang.IllegalStateException: thrown from main", 0, 0},
        {"noviq.apps.Lingers", "", "main done\nworker done\n", "", 0, 0.9},
        {"noviq.apps.ExitsLater", "", "main done\n", "", 0, 0},
        {"noviq.apps.ExitsLater", "VM Provider=any\n", "main done\nexiting\n", "", 7, 0.6},
        {"com.example.Missing", "",
         "Error: Could not find the main class com/example/Missing.\n \n",
         "java.lang.NoClassDefFoundError: com/example/Missing", 255, 0},
        {"noviq.apps.InstanceMain", "", "",
         "java.lang.NoSuchMethodError: static Lnoviq/apps/InstanceMain;.main", 255, 0},
        {"noviq.apps.Hello", "Virtual Machine Parameters=-xmx50p\n",
         "Error: JNI exception: failed to create the Java VM\nReason: unknown.\n \n",
         "Unrecognized option: -xmx50p", 255, 0},
        {"noviq.apps.Hello", "Virtual Machine Parameters=-XX:+NoSuchFlag\n",
         "Error: JNI exception: failed to create the Java VM\nReason: invalid arguments.\n \n",
         "Unrecognized VM option 'NoSuchFlag'", 255, 0},
        {"noviq.apps.Hello", "[Class Path]\nClass Path=none*.jar\n",
         "Error: Java Class Path was not specified in INI file. \n"
         "Error: Could not find the main class noviq/apps/Hello.\n \n",
         "java.lang.NoClassDefFoundError: noviq/apps/Hello", 255, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.mainClass) + " " + c.settings);
        const bool ownClassPath = c.settings.find("[Class Path]") != std::string::npos;
        Installation app(c.mainClass, c.settings + (ownClassPath ? "" : kAppsJar));
        const auto start = std::chrono::steady_clock::now();
        const RunResult result = app.run();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(c.errOnce.empty() ? result.err.size() : countOf(result.err, c.errOnce),
                  c.errOnce.empty() ? 0u : 1u)
            << result.err;
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_GE(took.count(), c.minSeconds);
    }
}

} // namespace
} // namespace noviq::test
