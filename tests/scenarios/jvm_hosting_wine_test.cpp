// The Windows launcher under Wine, hosting the scripted JNI runtime (tests/fixtures/
// scripted_jvm) in place of a jvm.dll: what reaches the JVM (options in order, class path,
// arguments as UTF-16, thread stack, environment) and how each ending maps to the exit code.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "harness.h"

namespace fs = std::filesystem;

namespace noviq::test {
namespace {

std::string readFile(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

size_t countOf(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
        ++n;
    return n;
}

// tool.exe beside tool.ini, with a runtime folder rt\ whose bin\server\jvm.dll is a fixture.
// In INI text, "{dir}" is the installation folder as Windows sees it and "{rt}" the runtime.
class Installation {
public:
    Installation(const std::string& mode, const std::string& settings,
                 const std::string& parameters = "",
                 const std::string& jvmFixture = "scripted_jvm.dll") {
        tool_ = dir_.copy(launcherBinary(Build::Windows), "tool.exe");
        dir_.copy(windowsFixture(jvmFixture), "rt/bin/server/jvm.dll");
        dir_.write("lib/a.jar", "");
        dir_.write("lib/b.txt", "");
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
        std::vector<std::string> found;
        std::istringstream lines(readFile(dir_.path() / "record.txt"));
        for (std::string line; std::getline(lines, line);)
            if (line.rfind(prefix, 0) == 0)
                found.push_back(line.substr(prefix.size()));
        return found;
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

class JvmHostingWine : public testing::Test {
protected:
    void SetUp() override {
        if (!wineAvailable())
            GTEST_SKIP() << "Wine or the Windows build is not available";
    }
};

TEST_F(JvmHostingWine, OptionsArriveInOrderWithTheHooksLast) {
    Installation app("returns", withMain("Library Path=C:\\native\nSystem Path=C:\\tools\n"),
                     "-Xmx512m \"-Dq=a b\" -Xss1m");
    const RunResult result = app.run();
    ASSERT_EQ(result.exitCode, 0u) << result.out << result.err;

    EXPECT_EQ(app.recordedOnce("version "), "00010002");
    EXPECT_EQ(app.recordedOnce("ignoreUnrecognized "), "0");
    const std::string path = app.recordedOnce("env Path=");
    const std::string head = "C:\\tools;", tail = app.expand(";{rt}\\bin");
    ASSERT_EQ(path.rfind(head, 0), 0u) << path;
    ASSERT_EQ(path.substr(path.size() - tail.size()), tail) << path;
    const std::string oldPath = path.substr(head.size(), path.size() - head.size() - tail.size());
    const std::vector<std::string> expected = {
        app.expand("-Djava.library.path=C:\\native;{dir}\\;.;") + oldPath +
            app.expand(";{rt}\\lib"),
        app.expand("-Djava.class.path={dir}\\lib\\a.jar;"),
        "-Dscripted.record=" + toWindowsPath(app.dir().path() / "record.txt"),
        "-Dscripted.mode=returns",
        "-Xmx512m",
        "-Dq=a b",
        "-Xss1m",
    };
    EXPECT_EQ(app.recorded("option "), expected);
    EXPECT_EQ(app.recorded("hook "), (std::vector<std::string>{"abort 1", "exit 1"}));
    EXPECT_EQ(app.recordedOnce("env NOVIQ_JVM_PATH="), app.expand("{rt}\\bin\\server\\jvm.dll"));
    EXPECT_EQ(app.recordedOnce("env NOVIQ_JVM_HOME="), app.expand("{rt}"));
}

TEST_F(JvmHostingWine, ClassPathForms) {
    struct Case {
        const char* classPath;
        const char* embedded;
        std::string expected; // the class path option
    };
    const Case cases[] = {
        {"\\lib\\*.jar", "", "{dir}\\lib\\a.jar;"},
        {"D:\\libs\\x.jar;;\\\\srv\\share\\y.jar;\\lib\\gone.jar", "",
         "D:\\libs\\x.jar;\\\\srv\\share\\y.jar;"},
        {"%APP_LIB%\\a.jar", "", "{dir}\\lib\\a.jar;"}, // absolute once expanded
        {"%REL_LIB%\\a.jar", "", "{dir}\\lib\\a.jar;"}, // relative once expanded
        {"\\lib\\a.jar", "yes", "{dir}\\lib\\a.jar;{dir}\\tool.exe"},
        {"", "YES", "{dir}\\tool.exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.classPath);
        Installation app(
            "returns", withMain("", c.classPath, std::string("Embedded Jar=") + c.embedded + "\n"));
        RunOptions options;
        options.env = {{"APP_LIB", toWindowsPath(app.dir().path() / "lib")}, {"REL_LIB", "\\lib"}};
        const RunResult result = app.run(options);
        EXPECT_EQ(app.recordedOnce("option -Djava.class.path="), app.expand(c.expected));
        EXPECT_EQ(result.out, "scripted main ran\n");
    }

    // A pattern ending in "*" also matches the folder entries "." and "..".
    Installation app("returns", withMain("", "\\lib\\*"));
    app.run();
    const std::string classPath = app.recordedOnce("option -Djava.class.path=");
    for (const char* name : {".", "..", "a.jar", "b.txt"})
        EXPECT_EQ(countOf(";" + classPath, app.expand(";{dir}\\lib\\") + name + ";"), 1u) << name;
}

TEST_F(JvmHostingWine, ArgumentsArriveAsExactUtf16) {
    Installation app("returns", withMain("", "\\lib\\a.jar", "Cmd=-c \"d e\"\n"));
    RunOptions options;
    // tool.exe plain "two words" 日本 😀 é   (UTF-8 here; the launcher gets UTF-16)
    options.windowsCommandLine = "tool.exe plain \"two words\" \xE6\x97\xA5\xE6\x9C\xAC "
                                 "\xF0\x9F\x98\x80 \xC3\xA9";
    const RunResult result = app.run(options);
    EXPECT_EQ(app.recorded("arg "),
              (std::vector<std::string>{"0070 006C 0061 0069 006E",
                                        "0074 0077 006F 0020 0077 006F 0072 0064 0073", "65E5 672C",
                                        "D83D DE00", "00E9", "002D 0063", "0064 0020 0065"}));
    EXPECT_EQ(app.recordedOnce("main "), "noviq/Main");
    EXPECT_EQ(result.exitCode, 0u);
}

TEST_F(JvmHostingWine, JavaMainThreadStack) {
    struct Case {
        const char* parameters;
        bool asksDefaults;
        uint64_t stack;
    };
    // Wine gives every thread at least 1 MB (Windows honours smaller sizes too), and the
    // launcher's image asks for 2 MB by default: the sizes here tell all three apart.
    const Case cases[] = {
        {"", true, 1536 * 1024}, // the runtime's JNI 1.1 default
        {"-Xss3m", false, 3 << 20},
        {"-Xss3m -Xss4096k", false, 4 << 20},
        {"-Xss2:0:5T", false, 5 << 20}, // 2% of the free address space, at most 5 MB
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.parameters);
        Installation app("returns", withMain(), c.parameters);
        app.run();
        EXPECT_EQ(app.recorded("defaults "), c.asksDefaults ? std::vector<std::string>{"00010001 1"}
                                                            : std::vector<std::string>{});
        EXPECT_EQ(app.recordedOnce("stack "), std::to_string(c.stack));
    }
}

TEST_F(JvmHostingWine, HowTheApplicationEnds) {
    struct Case {
        const char* mode;
        std::string application; // keys of [Application]
        std::string out;
        std::string errOnce; // must appear exactly once on stderr; empty: stderr is empty
        uint32_t exitCode;
        bool detaches;
    };
    const std::string uncaught =
        "Exception in thread \"main\" java/lang/IllegalStateException: scripted failure";
    const Case cases[] = {
        {"returns", "", "scripted main ran\n", "scripted main to stderr", 0, true},
        {"throws", "", "scripted main throws\n", uncaught, 0, true},
        {"throws", "Failure Check=Yes\n", "scripted main throws\n", uncaught, 0, true},
        {"exit:-2", "", "", "", 0xFFFFFFFEu, false},
        {"exit:0x12345678", "", "", "", 0x12345678u, false},
        {"create-fails:-6", "",
         "Error: JNI exception: failed to create the Java VM\r\nReason: invalid arguments.\r\n "
         "\r\n",
         "", 0xFFFFFFFFu, false},
        {"create-fails:-42", "",
         "Error: JNI exception: failed to create the Java VM\r\nReason: .\r\n \r\n", "",
         0xFFFFFFFFu, false},
        {"missing-class", "", "Error: Could not find the main class noviq/Main.\r\n \r\n",
         "Exception in thread \"main\" java/lang/NoClassDefFoundError: noviq/Main", 0xFFFFFFFFu,
         true},
        {"no-main", "", "Error: No main method found in specified class.\r\n \r\n", "", 0xFFFFFFFFu,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.mode) + " " + c.application);
        Installation app(c.mode, withMain("", "\\lib\\a.jar", c.application));
        const RunResult result = app.run();
        EXPECT_EQ(result.out, c.out);
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

TEST_F(JvmHostingWine, LibraryThatCannotLoadIsReportedOnce) {
    struct Case {
        const char* fixture;
        int error;
    };
    const Case cases[] = {{"needs_absent.dll", 126}, {"pe_i686.dll", 193}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.fixture);
        Installation app("returns", withMain(), "", c.fixture);
        const RunResult result = app.run();
        EXPECT_EQ(
            result.out,
            app.expand(
                "Error: Failed to load Java VM library: {rt}\\bin\\server\\jvm.dll (errno = ") +
                std::to_string(c.error) + ").\r\n \r\n");
        EXPECT_EQ(result.exitCode, 0xFFFFFFFFu);
    }
}

} // namespace
} // namespace noviq::test
