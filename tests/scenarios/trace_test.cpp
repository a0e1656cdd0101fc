// NOVIQ_TRACE: the lines a user needs to see why a start went as it did.
#include <gtest/gtest.h>

#include "harness.h"

namespace fs = std::filesystem;

namespace noviq::test {
namespace {

TEST(TraceLinux, SaysWhyEachDecisionWasTaken) {
    ScenarioDir dir;
    const fs::path tool = dir.copy(launcherBinary(Build::Linux), "app/tool");
    dir.copy(fs::path(NOVIQ_LINUX_BUILD_DIR) / "tests/java/apps.jar", "app/apps.jar");
    dir.write("jvm/old-8/lib/libjava.so", "");
    dir.write("jvm/old-8/release", "JAVA_VERSION=\"1.8.0_1\"\n");
    fs::create_directory_symlink("/usr/lib/jvm/java-17-openjdk-amd64", dir.path() / "jvm/jdk-17");
    const auto runWith = [&](const std::string& settings, const std::string& trace) {
        dir.write("app/tool.ini", "[Java Runtime Environment]\nMain Class=noviq.apps.Exits\n" +
                                      settings + "\n[Class Path]\nClass Path=apps.jar\n");
        RunOptions options;
        options.env = {{"NOVIQ_JVM_ROOT", (dir.path() / "jvm").string()}, {"NOVIQ_TRACE", trace}};
        return run(Build::Linux, tool, options);
    };

    // To a file: the search, the choice, what the JVM got, and how the process ended.
    const fs::path file = dir.path() / "trace.txt";
    // No maximum: no upper bound.
    const RunResult ran = runWith("Minimum Version=11", file.string());
    EXPECT_EQ(ran.exitCode, 3u);
    EXPECT_EQ(ran.err, "");
    const std::string lines = readFile(file);
    for (const std::string& expected :
         {std::string(
              "settings: main class noviq/apps/Exits, minimum version 11.0 (versions 11.0 to "
              "any)"),
          "search: folder " + (dir.path() / "jvm").string() + ": 2 runtimes\n",
          std::string("search: the runtimes with the JVM in their own folder (JREs, JDKs from Java "
                      "9 on) there\n"),
          std::string("search:   1.8.0.1 old-8: version 1.8.0.1 is outside the range"),
          "search: chose " + (dir.path() / "jvm/jdk-17/").string() + " of 1 candidates",
          std::string("jvm option: -Djava.class.path=" + (dir.path() / "app/apps.jar").string()),
          std::string("time: JVM creation "), std::string("main: called"),
          std::string("end: Java ends the process, exit code 3")})
        EXPECT_EQ(countOf(lines, expected), 1u) << expected << "\n" << lines;

    // To standard error: a start that finds nothing says what it looked at.
    const RunResult none = runWith("Minimum Version=99\nMaximum Version=any", "1");
    EXPECT_NE(none.err.find("jdk-17: version 17.0.15 is outside the range"), std::string::npos)
        << none.err;
    EXPECT_NE(none.err.find("chosen: nothing\n"), std::string::npos);
    EXPECT_NE(none.err.find("prompt: none, no terminal or desktop"), std::string::npos);
    EXPECT_NE(none.err.find("end: exit code -1"), std::string::npos);
}

} // namespace
} // namespace noviq::test
