// noviq-brand on the release (stripped) launchers: the branded files read back through the
// system under Wine, run as the unbranded ones, come out byte for byte the same from the
// Linux and the Windows build of the tool, and can be signed; bad input gets one error line
// and exit code and leaves no OUTPUT. tests/fixtures/branding.ico holds a 16 and a 32 pixel
// bitmap and a 256 pixel PNG image.
#include <gtest/gtest.h>

#include <cstring>
#include <sstream>

#include "harness.h"

namespace noviq::test {
namespace {

namespace fs = std::filesystem;

struct Launcher {
    const char* release;
    const char* branded;
    bool is32;
    const char* manifestOptions; // split at spaces
    const char* level;           // the execution level the branded file asks for
};

const Launcher kLaunchers[] = {
    {"noviq.exe", "myapp.exe", false, "", "requireAdministrator"},
    {"noviqw.exe", "myappw.exe", false, "--dpi-awareness permonitorv2 --long-path-aware",
     "asInvoker"},
    {"noviq32.exe", "myapp32.exe", true, "--execution-level highestAvailable", "highestAvailable"},
};

const fs::path kLinuxTool = fs::path(NOVIQ_LINUX_BUILD_DIR) / "noviq-brand";

const char kSigner[] = "/usr/bin/osslsigncode";

// A Linux tool run with `line` split at spaces (no argument here holds one).
RunResult runTool(const std::string& program, const std::string& line) {
    RunOptions options;
    std::istringstream words(line);
    for (std::string word; words >> word;)
        options.args.push_back(word);
    return run(Build::Linux, program, options);
}

// The launcher as the release archive holds it: stripped.
fs::path release(const ScenarioDir& dir, const Launcher& launcher) {
    const fs::path built = launcher.is32 ? windows32File(launcher.release)
                                         : fs::path(NOVIQ_WINDOWS_BUILD_DIR) / launcher.release;
    const fs::path stripped = dir.path() / launcher.release;
    EXPECT_EQ(runTool(launcher.is32 ? "/usr/bin/i686-w64-mingw32-strip"
                                    : "/usr/bin/x86_64-w64-mingw32-strip",
                      "-o " + stripped.string() + " " + built.string())
                  .exitCode,
              0u);
    return stripped;
}

RunResult brand(const std::vector<std::string>& args, Build build = Build::Linux) {
    RunOptions options;
    options.args = args;
    return run(build,
               build == Build::Linux ? kLinuxTool
                                     : fs::path(NOVIQ_WINDOWS_BUILD_DIR) / "noviq-brand.exe",
               options);
}

// myapp.exe branded from dir/<release> with every version option, the icon and the
// launcher's manifest options, by the tool of `build`.
fs::path brandFully(const ScenarioDir& dir, const Launcher& launcher, Build build,
                    const std::string& name) {
    auto path = [&](const fs::path& file) {
        return build == Build::Linux ? file.string() : toWindowsPath(file);
    };
    // Both spellings of a valued option, "--name value" and "--name=value".
    std::vector<std::string> args = {"--company", "ACME Ltd", "--product-name=My App"};
    for (const char* option : {"--description=My application", "--copyright=\xC2\xA9 2026 ACME",
                               "--file-version=2.3.4.5", "--product-version=2.3", "--icon"})
        args.push_back(option);
    args.push_back(path(fs::path(NOVIQ_SOURCE_DIR) / "tests/fixtures/branding.ico"));
    args.insert(args.begin(), {path(dir.path() / launcher.release), path(dir.path() / name)});
    std::istringstream options(launcher.manifestOptions);
    for (std::string option; options >> option;)
        args.push_back(option);
    const RunResult result = brand(args, build);
    EXPECT_EQ(result.exitCode, 0u) << result.err;
    EXPECT_EQ(result.out + result.err, "");
    return dir.path() / name;
}

// The branded launcher in dir runs as the stripped, unbranded one beside it does, with the
// same settings: the scripted runtime in rt\, and an error line from the string table.
void expectRunsAsUnbranded(const ScenarioDir& dir, const Launcher& launcher) {
    dir.copy(launcher.is32 ? windows32File("tests/fixtures/scripted_jvm.dll")
                           : windowsFixture("scripted_jvm.dll"),
             "rt/bin/server/jvm.dll");
    dir.write("lib/a.jar", "");
    const bool windowed = std::string(launcher.release) == "noviqw.exe";
    const std::string runtime = "[Java Runtime Environment]\nJRE Path=rt\n";
    const std::pair<std::string, std::string> cases[] = {
        {runtime + "Main Class=noviq.Main\nVirtual Machine Parameters=-Dscripted.mode=" +
             (windowed ? "exit:42" : "returns") + "\n[Class Path]\nClass Path=\\lib\\a.jar\n",
         windowed ? "" : "scripted main ran"},
        {runtime, windowed ? "" : "Error: Main class was not specified in INI file."},
    };
    for (const auto& [settings, printed] : cases) {
        SCOPED_TRACE(settings);
        for (const char* exe : {launcher.release, launcher.branded})
            dir.write(fs::path(exe).stem().string() + ".ini", settings);
        const RunResult expected = run(Build::Windows, dir.path() / launcher.release),
                        actual = run(Build::Windows, dir.path() / launcher.branded);
        EXPECT_NE(expected.out.find(printed), std::string::npos) << expected.out;
        EXPECT_EQ(actual.out + actual.err, expected.out + expected.err);
        EXPECT_EQ(actual.exitCode, expected.exitCode);
        if (windowed && &settings == &cases[0].first) {
            EXPECT_EQ(actual.exitCode, 42u);
        }
    }
}

TEST(BrandingWine32, TheBrandedPairedLauncherRunsAsTheUnbrandedOne) {
    NOVIQ_SKIP_WITHOUT_WINE32();
    ScenarioDir dir;
    release(dir, kLaunchers[2]);
    brandFully(dir, kLaunchers[2], Build::Linux, kLaunchers[2].branded);
    expectRunsAsUnbranded(dir, kLaunchers[2]);
}

TEST(BrandingWine, BrandedLaunchersReadBackSignAndRunAsTheUnbrandedOnes) {
    NOVIQ_SKIP_WITHOUT_WINE();
    ScenarioDir dir;
    const std::string key = (dir.path() / "key.pem").string(),
                      certificate = (dir.path() / "cert.pem").string(),
                      signedFile = (dir.path() / "signed.exe").string();
    ASSERT_EQ(runTool("/usr/bin/openssl", "req -x509 -newkey rsa:2048 -nodes -days 1 -subj "
                                          "/CN=Throwaway-test-signer -keyout " +
                                              key + " -out " + certificate)
                  .exitCode,
              0u);
    for (const Launcher& launcher : kLaunchers) {
        SCOPED_TRACE(launcher.branded);
        release(dir, launcher);
        const fs::path branded = brandFully(dir, launcher, Build::Linux, launcher.branded);
        fs::create_directories(dir.path() / "windows");
        EXPECT_TRUE(readFile(branded) ==
                    readFile(brandFully(dir, launcher, Build::Windows,
                                        std::string("windows/") + launcher.branded)))
            << "the Windows build of the tool wrote other bytes";

        RunOptions interrogate;
        interrogate.args = {"resources", toWindowsPath(branded)};
        const RunResult read = run(Build::Windows, windowsFixture("winrun.exe"), interrogate);
        const std::string stem = fs::path(launcher.branded).stem().string();
        EXPECT_EQ(read.out.substr(0, read.out.find("manifest ")),
                  "fixed 2.3.4.5 2.3.0.0\r\nCompanyName=ACME Ltd\r\nFileDescription=My "
                  "application\r\nFileVersion=2.3.4.5\r\nInternalName=" +
                      stem + "\r\nLegalCopyright=\xC2\xA9 2026 ACME\r\nOriginalFilename=" +
                      launcher.branded +
                      "\r\nProductName=My App\r\nProductVersion=2.3\r\nComments=Started by the "
                      "Noviq Java Launcher " NOVIQ_VERSION "\r\nNoviqVersion=" NOVIQ_VERSION
                      "\r\nicons 1 32x32\r\ngroup 16x16 32x32 256x256\r\n");
        const std::string manifest = read.out.substr(read.out.find("manifest ") + 1);
        EXPECT_NE(manifest.find(std::string("level=\"") + launcher.level + "\""),
                  std::string::npos);
        EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
        EXPECT_EQ(manifest.find("supportedOS"), std::string::npos);
        const bool windowed = *launcher.manifestOptions && !launcher.is32;
        EXPECT_EQ(manifest.find(">PerMonitorV2</dpiAwareness>") != std::string::npos, windowed);
        EXPECT_EQ(manifest.find(">true</longPathAware>") != std::string::npos, windowed);

        // The unsigned file's checksum is right; signed, it verifies.
        const std::string unsigned_ = runTool(kSigner, "verify " + branded.string()).out;
        EXPECT_NE(unsigned_.find("PE checksum"), std::string::npos) << unsigned_;
        EXPECT_EQ(unsigned_.find("invalid PE checksum"), std::string::npos) << unsigned_;
        EXPECT_EQ(runTool(kSigner, "sign -certs " + certificate + " -key " + key + " -in " +
                                       branded.string() + " -out " + signedFile)
                      .exitCode,
                  0u);
        const RunResult verified =
            runTool(kSigner, "verify -CAfile " + certificate + " " + signedFile);
        EXPECT_EQ(verified.exitCode, 0u) << verified.out << verified.err;
        // A branded file brands again; once signed it does not.
        EXPECT_EQ(brand({branded.string(), (dir.path() / "again.exe").string()}).exitCode, 0u);
        const RunResult refused = brand({signedFile, (dir.path() / "again.exe").string()});
        EXPECT_EQ(refused.exitCode, 3u);
        EXPECT_NE(refused.err.find("INPUT is signed"), std::string::npos) << refused.err;
        fs::remove(signedFile);
        if (!launcher.is32)
            expectRunsAsUnbranded(dir, launcher);
    }
}

// Refusals: one line on standard error, the exit code of its kind, no OUTPUT and no
// partial file beside it, INPUT untouched.
TEST(BrandingWine, RefusesBadInputWithOneErrorAndNoOutput) {
    NOVIQ_SKIP_WITHOUT_WINE();
    ScenarioDir dir;
    const std::string in = release(dir, kLaunchers[0]).string(),
                      out = (dir.path() / "out.exe").string();
    const std::string image = readFile(in);
    auto variant = [&](const std::string& name, size_t at, uint32_t value,
                       size_t size = std::string::npos) {
        std::string bytes = image.substr(0, size);
        if (at)
            std::memcpy(bytes.data() + at, &value, sizeof value);
        return dir.write(name, bytes).string();
    };
    const std::string icon = readFile(fs::path(NOVIQ_SOURCE_DIR) / "tests/fixtures/branding.ico");
    const struct {
        std::vector<std::string> args;
        uint32_t exitCode;
        const char* error;
    } cases[] = {
        {{in}, 2, "give INPUT.exe and OUTPUT.exe"},
        {{in, in}, 2, "OUTPUT is INPUT"},
        {{in, (dir.path() / "." / "noviq.exe").string()}, 2, "OUTPUT is INPUT"},
        {{in, out, "--file-version", "1.2.3.4.5"}, 2, "'1.2.3.4.5' is not one to four numbers"},
        {{in, out, "--product-version=1.65536"}, 2, "is not one to four numbers"},
        {{in, out, "--file-version", "1.x"}, 2, "is not one to four numbers"},
        {{in, out, "--execution-level", "admin"}, 2, "--execution-level is asInvoker"},
        {{in, out, "--colour", "red"}, 2, "unknown option --colour"},
        {{dir.write("text.exe", "MZ not really").string(), out}, 3, "is not a Windows executable"},
        {{variant("cut.exe", 0, 0, image.size() / 2), out}, 3, "is truncated"},
        {{variant("lfanew.exe", 0x3C, 0x7FFFFFF0), out}, 3, "no PE header"},
        {{(fs::path(NOVIQ_WINDOWS_BUILD_DIR) / "noviq.exe").string(), out}, 3, "is not stripped"},
        {{windowsFixture("pe_i686.dll").string(), out}, 3, "not one of the Noviq launchers"},
        {{in, out, "--icon", in}, 4, "is not an .ico file"},
        {{in, out, "--icon",
          dir.write("far.ico", icon.substr(0, 18) + "\xF0\xFF\xFF\x7F" + icon.substr(22)).string()},
         4,
         "has an image outside the file (image 1)"},
        {{in, out, "--icon", (dir.path() / "absent.ico").string()}, 5, "cannot read"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.size() > 1 ? c.args[0] + " " + c.args.back() : c.args[0]);
        const RunResult result = brand(c.args);
        EXPECT_EQ(result.exitCode, c.exitCode);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(countOf(result.err, "\n"), 1u) << result.err;
        EXPECT_NE(result.err.find(c.error), std::string::npos) << result.err;
        EXPECT_FALSE(fs::exists(out));
        EXPECT_FALSE(fs::exists(out + ".brand-partial"));
    }
    EXPECT_EQ(readFile(in), image);
}

} // namespace
} // namespace noviq::test
