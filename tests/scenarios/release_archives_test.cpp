// The release archives, unpacked into a fresh folder as a user unpacks them: the files they
// hold, stripped executables carrying the version, and the sample application run from them
// (the Windows one under Wine with the scripted runtime beside it, the Linux one with the
// system's JDK).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "harness.h"

namespace noviq::test {
namespace {

namespace fs = std::filesystem;

// The archive's content in dir; the names of the top folder's files, sorted.
std::vector<std::string> unpack(const std::string& archive, const ScenarioDir& dir,
                                const std::string& top) {
    const fs::path file = fs::path(NOVIQ_DIST_DIR) / archive;
    const std::string command =
        "cd '" + dir.path().string() + "' && '" NOVIQ_CMAKE "' -E tar xf '" + file.string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << "cannot unpack " << file << " (make dist)";
    std::vector<std::string> names;
    for (const fs::directory_entry& entry : fs::directory_iterator(dir.path()))
        EXPECT_EQ(entry.path().filename(), top);
    if (fs::is_directory(dir.path() / top))
        for (const fs::directory_entry& entry : fs::directory_iterator(dir.path() / top))
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string utf16(const std::string& ascii) {
    std::string out;
    for (char c : ascii)
        out += std::string(1, c) + '\0';
    return out;
}

TEST(ReleaseArchives, TheWindowsZipRunsItsSample) {
    ScenarioDir dir;
    const std::string top = "noviq-" NOVIQ_VERSION "-windows-x64";
    ASSERT_EQ(
        unpack(top + ".zip", dir, top),
        (std::vector<std::string>{"LICENSE", "README.md", "docs", "greeter.jar", "noviq-brand.exe",
                                  "noviq.exe", "noviq.ini", "noviq32.exe", "noviqw.exe"}));
    const fs::path folder = dir.path() / top;
    for (const char* exe : {"noviq.exe", "noviqw.exe", "noviq32.exe"}) {
        SCOPED_TRACE(exe);
        const std::string image = readFile(folder / exe);
        EXPECT_LT(image.size(), 1000000u) << "not stripped";
        EXPECT_NE(image.find(utf16(NOVIQ_VERSION)), std::string::npos) << "no version resource";
    }
    // The shipped branding tool works (branding_test.cpp brands each launcher, stripped alike).
    RunOptions brand;
    brand.args = {"noviq32.exe", "branded.exe"};
    EXPECT_EQ(run(Build::Windows, folder / "noviq-brand.exe", brand).exitCode, 0u);

    // The scripted runtime in jre64\ beside the executable stands in for a bundled one.
    dir.write(top + "/jre64/bin/java.dll", "");
    dir.copy(windowsFixture("scripted_jvm.dll"), top + "/jre64/bin/server/jvm.dll");
    const RunResult result = run(Build::Windows, folder / "noviq.exe");
    EXPECT_EQ(result.exitCode, 0u) << result.out << result.err;
    EXPECT_EQ(result.out, "scripted main ran\n");
}

TEST(ReleaseArchives, TheTarballRunsItsSampleWithTheJdk) {
    ScenarioDir dir;
    const std::string top = "noviq-" NOVIQ_VERSION "-linux-x64";
    ASSERT_EQ(unpack(top + ".tar.gz", dir, top),
              (std::vector<std::string>{"LICENSE", "README.md", "docs", "greeter.jar", "noviq",
                                        "noviq-app.service", "noviq-brand", "noviq.ini"}));
    const fs::path exe = dir.path() / top / "noviq";
    EXPECT_LT(fs::file_size(exe), 1000000u) << "not stripped";
    RunOptions options;
    options.args = {"one"};
    const RunResult result = run(Build::Linux, exe, options);
    EXPECT_EQ(result.exitCode, 0u) << result.err;
    EXPECT_NE(result.out.find("Hello from a Java application started by the Noviq launcher!\n"
                              "Arguments (3):\n  [0] one\n  [1] --from-ini\n  [2] two words\n"),
              std::string::npos)
        << result.out;
}

} // namespace
} // namespace noviq::test
