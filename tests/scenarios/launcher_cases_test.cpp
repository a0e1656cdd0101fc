// The launcher's own behaviour (settings, messages, exit codes) as the cases of
// tests/scenarios/cases/*.txt, each run by the Linux launcher with the system JDK and by the
// Windows launcher under Wine with the scripted runtime. docs/testing.md describes the format.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <sstream>
#include <unistd.h>

#include "harness.h"

namespace fs = std::filesystem;

namespace noviq::test {
namespace {

struct Case {
    std::string name;
    std::vector<std::string> lines;
};

// Every case for each build, but a case with "only Linux" or "only Wine" for that one alone.
std::vector<std::tuple<Build, Case>> readCases() {
    std::vector<Case> cases;
    for (const auto& file :
         fs::directory_iterator(fs::path(NOVIQ_SOURCE_DIR) / "tests/scenarios/cases")) {
        std::istringstream text(readFile(file.path()));
        for (std::string line; std::getline(text, line);)
            if (line.starts_with("case "))
                cases.push_back({line.substr(5), {}});
            else if (!line.empty() && line[0] != '#' && !cases.empty())
                cases.back().lines.push_back(line);
    }
    std::vector<std::tuple<Build, Case>> runs;
    for (const Build build : {Build::Linux, Build::Windows})
        for (const Case& c : cases)
            if (std::ranges::find(c.lines, build == Build::Linux ? "only Wine" : "only Linux") ==
                c.lines.end())
                runs.emplace_back(build, c);
    return runs;
}

// The whole stream against its lines: "..." in a line is any text, a line "..." any lines.
// The space that closes an error line is left out (the message layer's: unit Messages).
void expectLines(const char* stream, std::string text, const std::vector<std::string>& lines) {
    if (text.size() > 65536) // beyond what std::regex matches without a deep recursion
        return ADD_FAILURE() << stream << " is " << text.size() << " bytes long";
    text = std::regex_replace(replaceAll(text, "\r\n", "\n"), std::regex(" +\n"), "\n");
    std::string pattern;
    for (const std::string& line : lines) {
        std::string escaped =
            std::regex_replace(line, std::regex(R"([.^$|()\[\]{}*+?\\])"), R"(\$&)");
        pattern += line == "..." ? "(.*\n)*" : replaceAll(escaped, "\\.\\.\\.", ".*") + "\n";
    }
    EXPECT_TRUE(std::regex_match(text, std::regex(pattern))) << stream << ":\n"
                                                             << text << "--- expected ---\n"
                                                             << pattern;
}

void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

class LauncherCases : public testing::TestWithParam<std::tuple<Build, Case>> {};

TEST_P(LauncherCases, Run) {
    const auto& [build, c] = GetParam();
    const bool windows = build == Build::Windows;
    if (windows)
        NOVIQ_SKIP_WITHOUT_WINE();
    ScenarioDir dir;
    // {dir} and the path after it as this build writes it.
    const auto expand = [&](std::string text) {
        text = replaceAll(text, "{lib}", windows ? "bin/client/jvm.dll" : "lib/client/libjvm.so");
        text = replaceAll(text, "{badimage}", windows ? "193" : "8");
        for (size_t at = text.find("{dir}"); windows && at != std::string::npos;
             at = text.find("{dir}", at + 1))
            std::replace(text.begin() + at, std::find(text.begin() + at, text.end(), ' '), '/',
                         '\\');
        return replaceAll(text, "{dir}", windows ? toWindowsPath(dir.path()) : dir.path().string());
    };
    std::string exe = "tool", ini, mainClass, exitCode = "0";
    std::vector<std::string> out, err;
    bool searched = false;   // the launcher searches; no JRE Path is written
    uintmax_t growToMiB = 0; // the INI file grows to this size
    RunOptions options;
    options.env = {{"NOVIQ_JVM_ROOT", (dir.path() / "jvm").string()}};
    for (std::string line : c.lines) {
        if (line.starts_with("Linux: ") || line.starts_with("Wine: ")) {
            if (line.starts_with("Wine") != windows)
                continue;
            line = line.substr(line.find(' ') + 1);
        }
        const std::string directive = line.substr(0, line.find(' '));
        const std::string rest = expand(line.substr(std::min(line.size(), directive.size() + 1)));
        if (directive == "needs-root" && geteuid() != 0)
            GTEST_SKIP() << "needs root";
        else if (directive == "exe")
            exe = rest;
        else if (directive == "ini") // lines joined by " | "
            ini += replaceAll(rest, " | ", "\r\n") + "\r\n";
        else if (directive == "java")
            mainClass = rest;
        else if (directive == "file") // PATH, then its text: by default no library
            dir.write(rest.substr(0, rest.find(' ')), rest.find(' ') == std::string::npos
                                                          ? "not a library"
                                                          : rest.substr(rest.find(' ') + 1));
        else if (directive == "env")
            options.env.emplace_back(rest.substr(0, rest.find('=')),
                                     rest.substr(rest.find('=') + 1));
        else if (directive == "link") { // PATH TARGET
            const fs::path link = dir.path() / rest.substr(0, rest.find(' '));
            fs::create_directories(link.parent_path());
            fs::create_directory_symlink(rest.substr(rest.find(' ') + 1), link);
        } else if (directive == "from")
            options.workingDirectory = dir.path() / rest;
        else if (directive == "exit")
            exitCode = rest;
        else if (directive == "searched")
            searched = true;
        else if (directive == "grow")
            growToMiB = std::stoull(rest);
        else if (directive == "out" || directive == "err")
            (directive == "out" ? out : err).push_back(rest);
        else if (directive != "needs-root" && directive != "only")
            ADD_FAILURE() << "unknown directive " << directive;
    }
    const fs::path tool = dir.copy(launcherBinary(build), exe + (windows ? ".exe" : ""));
    const fs::path folder = tool.parent_path();
    if (!mainClass.empty()) {
        // The scripted runtime plays the test application of that name.
        const std::string mode = mainClass == "noviq.apps.Hello"    ? "returns"
                                 : mainClass == "noviq.apps.Throws" ? "throws"
                                 : mainClass == "noviq.apps.Exits"  ? "exit:3"
                                                                    : "missing-class";
        const std::string relative = folder.lexically_relative(dir.path()).string() + "/";
        if (windows) {
            dir.copy(windowsFixture("scripted_jvm.dll"), relative + "rt/bin/server/jvm.dll");
            dir.write(relative + "apps.jar", "");
        } else {
            dir.copy(fs::path(NOVIQ_LINUX_BUILD_DIR) / "tests/java/apps.jar",
                     relative + "apps.jar");
        }
        ini = "[Java Runtime Environment]\r\nMain Class=" + mainClass + "\r\n" +
              (searched  ? ""
               : windows ? "JRE Path=" + toWindowsPath(folder / "rt") +
                               "\r\nVirtual Machine Parameters=-Dscripted.mode=" + mode + "\r\n"
                         : "JRE Path=/usr/lib/jvm/java-17-openjdk-amd64\r\n") +
              ini +
              (ini.find("Class Path=") != std::string::npos ? ""
               : windows ? "[Class Path]\r\nClass Path=\\apps.jar\r\n" // below the folder
                         : "[Class Path]\r\nClass Path=apps.jar\r\n");
    }
    const fs::path iniFile = fs::path(tool).replace_extension(".ini");
    if (!ini.empty())
        dir.write(iniFile.lexically_relative(dir.path()).string(), ini);
    if (growToMiB > 0)
        fs::resize_file(iniFile, growToMiB << 20);

    const RunResult result = run(build, tool, options);

    expectLines("stdout", result.out, out);
    expectLines("stderr", result.err, err);
    const int64_t code = std::stoll(exitCode);
    EXPECT_EQ(result.exitCode, windows ? static_cast<uint32_t>(code) : code & 0xFF);
}

INSTANTIATE_TEST_SUITE_P(Launcher, LauncherCases, testing::ValuesIn(readCases()),
                         [](const auto& param) {
                             return (std::get<0>(param.param) == Build::Linux ? "Linux" : "Wine") +
                                    std::get<1>(param.param).name;
                         });

} // namespace
} // namespace noviq::test
