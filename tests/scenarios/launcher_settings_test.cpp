// The launcher reads the INI file beside it the way a packager writes it: observed from the
// outside through what it prints (the not-found text quotes the version requirement, and a
// runtime folder whose library cannot load is named in the error line). Every case ends with
// exit code -1 (Linux sees its low 8 bits).
#include <gtest/gtest.h>

#include "harness.h"

namespace noviq::test {
namespace {

struct Case {
    const char* name;
    const char* installedAs; // relative to the scenario folder; ".exe" is added on Windows
    std::string ini;         // written beside the executable as <name>.ini; empty: no file
    const char* runFrom;     // working directory relative to the scenario folder ("" = exe's)
    std::string expected;    // one output line without "Error: " and " \n"
};

const std::string kMain = "[Java Runtime Environment]\r\nMain Class=com.example.App\r\n";
const std::string kNotFound =
    "The Java Runtime Environment (JRE) was not found. Please  download and install a JRE ";

const Case kCases[] = {
    // Renamed by a packager but shipped without its INI file.
    {"MissingIni", "tool", "", "", "Main class was not specified in INI file."},
    {"ServerJvmRequired", "tool", kMain + "JVM Type=server\r\nMaximum Version=5\r\n", "",
     kNotFound + "with a server JVM (maximum version 5.65535) from: ADDRESS"},
    {"DottedFolder", "my.app/tool", kMain + "Minimum Version=11\r\n", "",
     kNotFound + "(minimum version 11.0) from: ADDRESS"},
    // A relative folder is the application's wherever the program is started from: the
    // runtime planted in the working folder is never loaded.
    {"RelativeJrePath", "app/tool", kMain + "JRE Path=jre\r\n", "elsewhere",
     "Failed to load Java VM library: DIR/app/jre/LIB (errno = ERR)."},
};

class LauncherSettings : public testing::TestWithParam<std::tuple<Build, Case>> {};

TEST_P(LauncherSettings, ReadsTheIniBesideTheExecutable) {
    const auto& [build, c] = GetParam();
    const bool windows = build == Build::Windows;
    if (windows)
        NOVIQ_SKIP_WITHOUT_WINE();
    ScenarioDir dir;
    const std::string exe = std::string(c.installedAs) + (windows ? ".exe" : "");
    const auto tool = dir.copy(launcherBinary(build), exe);
    if (!c.ini.empty())
        dir.write(std::string(c.installedAs) + ".ini", c.ini);
    // A runtime beside the executable's folder whose library is not a loadable image.
    dir.write(windows ? "app/jre/bin/client/jvm.dll" : "app/jre/lib/client/libjvm.so", "text");
    dir.write(windows ? "elsewhere/jre/bin/client/jvm.dll" : "elsewhere/jre/lib/client/libjvm.so",
              "planted");

    RunOptions options;
    // No installed runtime may satisfy these settings: the search sees an empty system folder.
    options.env.push_back({"NOVIQ_JVM_ROOT", (dir.path() / "elsewhere").string()});
    if (*c.runFrom)
        options.workingDirectory = dir.path() / c.runFrom;
    const RunResult result = run(build, tool, options);

    std::string expected = replaceAll("Error: " + c.expected + " \n", "LIB",
                                      windows ? "bin\\client\\jvm.dll" : "lib/client/libjvm.so");
    expected = replaceAll(expected, "ERR", windows ? "193" : "8");
    if (windows)
        expected = replaceAll(
            replaceAll(replaceAll(expected, "/", "\\"), "DIR", toWindowsPath(dir.path())), "\n",
            "\r\n");
    expected = replaceAll(replaceAll(expected, "DIR", dir.path().string()), "ADDRESS",
                          "https://java.com/");
    EXPECT_EQ(result.out, expected);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exitCode, windows ? 0xFFFFFFFFu : 0xFFu);
}

INSTANTIATE_TEST_SUITE_P(Launcher, LauncherSettings,
                         testing::Combine(testing::Values(Build::Linux, Build::Windows),
                                          testing::ValuesIn(kCases)),
                         [](const auto& param) {
                             return std::string(std::get<0>(param.param) == Build::Linux ? "Linux"
                                                                                         : "Wine") +
                                    std::get<1>(param.param).name;
                         });

} // namespace
} // namespace noviq::test
