// Reading the launcher's settings from an application's INI file: the flag tables, exact and
// case-blind comparisons, and which file "JRE Path" comes from.
#include <gtest/gtest.h>

#include "common/ini_file.h"
#include "launcher/settings.h"
#include "platform/environment.h"
#include "platform/path_style.h"
#include "test_support.h"

namespace noviq {
namespace {

using test::u16;
using test::wide;

// An application folder with its executable's INI file; the executable itself need not
// exist.
class SettingsFile {
public:
    SettingsFile() {
        context_.executablePath = wide(folder_.path() / "app.exe");
        context_.executableFolder = wide(folder_.path()) + WideString(&platform::kPathSeparator, 1);
        EXPECT_TRUE(iniPathFor(context_.executablePath, context_.iniPath));
    }
    void write(const std::string& content) const {
        std::ofstream(std::filesystem::path(u16(context_.iniPath)), std::ios::binary) << content;
    }
    std::optional<Settings> read() const { return readSettings(context_); }
    const ProcessContext& context() const { return context_; }
    void setElevated(bool elevated) { context_.elevated = elevated; }

private:
    test::TempFolder folder_;
    ProcessContext context_;
};

std::string jre(const std::string& lines) {
    return "[Java Runtime Environment]\nMain Class=com.example.App\n" + lines;
}

TEST(Settings, SourceAndProviderTables) {
    // preferJdk preferJre searchBothKinds, then allowed and preferred for JRockit, Sun and IBM.
    const std::pair<const char*, std::string> cases[] = {
        {"", "111 010 010"},
        {"JVM Source=favor_JRE\n", "011 010 010"},
        {"JVM Source=favor_JDK\n", "101 010 010"},
        {"JVM Source=only_JRE\n", "010 010 010"},
        {"JVM Source=only_JDK\n", "100 010 010"},
        {"JVM Source=ONLY_JRE\n", "000 010 010"},
        {"VM Provider=jrockit\n", "111 100 100"},
        {"VM Provider=IBM\n", "111 001 001"},
        {"VM Provider=favor_sun\n", "111 111 010"},
        {"VM Provider=Favor_JRockit\n", "111 111 100"},
        {"VM Provider=favor_ibm\n", "111 111 001"},
        {"VM Provider=any\n", "111 111 000"},
        {"VM Provider=oracle\n", "111 010 010"},
    };
    SettingsFile file;
    for (const auto& [lines, expected] : cases) {
        file.write(jre(lines));
        const std::optional<Settings> settings = file.read();
        ASSERT_TRUE(settings) << lines;
        const RuntimeRequest& l = settings->runtime;
        std::string flags;
        for (bool flag :
             {l.preferJdk, l.preferJre, l.searchBothKinds, l.jrockitAllowed, l.sunAllowed,
              l.ibmAllowed, l.jrockitPreferred, l.sunPreferred, l.ibmPreferred})
            flags += (flags.size() % 4 == 3 ? " " : "") + std::string(flag ? "1" : "0");
        EXPECT_EQ(flags, expected) << lines;
    }
}

TEST(Settings, ExactAndCaseBlindValues) {
    SettingsFile file;
    // Keys come through the continuation section too.
    file.write("[Java Runtime Environment]\nJVM Type=servers\n"
               "[Java Runtime Environment+]\nMain Class=com.example.App\n"
               "[Application]\nApplication Type=Service\nPair Return Code=YES\n"
               "Failure Check=yes\nOverride WorkingDir=Yess\n");
    const std::optional<Settings> a = file.read();
    ASSERT_TRUE(a);
    EXPECT_EQ(u16(a->mainClass), u" com/example/App"); // the continuation adds a space
    EXPECT_EQ(a->runtime.jvmType, JvmType::Default);
    EXPECT_FALSE(a->isService);
    EXPECT_TRUE(a->pairReturnCode);
    EXPECT_TRUE(a->failureCheck);
    EXPECT_FALSE(a->overrideWorkingDir);

    file.write(jre("JVM Type=favor_server\n") +
               "[Application]\nApplication Type=service\nOmit Service Name=x\n");
    const std::optional<Settings> b = file.read();
    ASSERT_TRUE(b);
    EXPECT_EQ(b->runtime.jvmType, JvmType::FavorServer);
    EXPECT_TRUE(b->isService);
    EXPECT_TRUE(b->omitServiceName);
}

TEST(Settings, JrePathComesFromThePerUserFileOnceItExists) {
    test::TempFolder config;
    // A fresh account: not even the per-user base folder exists yet.
    const test::ScopedEnvironmentVariable base(
        platform::kPathSeparator == u'\\' ? u"APPDATA" : u"XDG_CONFIG_HOME",
        wide(config.path() / "fresh" / "config"));

    SettingsFile file;
    // A relative folder is the application's, never the current folder's.
    const std::u16string mainJre = u16(file.context().executableFolder) + u"main-jre";
    const std::string identity =
        "[Product Information]\nProduct Name=Acme: Tools/Pro*\nProduct Code=7\n";
    file.write(identity + jre("JRE Path=main-jre\n"));
    const std::optional<Settings> noUserFile = file.read();
    ASSERT_TRUE(noUserFile);
    EXPECT_EQ(u16(noUserFile->runtime.jrePath), mainJre);

    // Saving creates the per-user folders, named without the characters a folder can't hold.
    const std::u16string chosen = u16(wide(config.path() / "chosen-jre"));
    saveJrePath(*noUserFile, file.context(), wide(chosen));
    WideString perUser;
    ASSERT_TRUE(perUserIniPath(*noUserFile, file.context().executablePath, false, perUser));
    EXPECT_NE(u16(perUser).find(u"Acme ToolsPro"), std::u16string::npos);
    EXPECT_EQ(u16(file.read()->runtime.jrePath), chosen); // the file just written

    // An existing per-user file decides even with an empty value; services ignore it.
    PlainIniFile(perUser).SetValue(u"Java Runtime Environment", u"JRE Path", u"");
    EXPECT_EQ(u16(file.read()->runtime.jrePath), u"");

    file.write(identity + jre("JRE Path=main-jre\n") + "[Application]\nApplication Type=service\n");
    EXPECT_EQ(u16(file.read()->runtime.jrePath), mainJre);

    // An elevated start neither reads the per-user file nor searches the user's keys: any
    // program of the user could have written them.
    file.write(identity + jre("JRE Path=main-jre\n"));
    PlainIniFile(perUser).SetValue(u"Java Runtime Environment", u"JRE Path", wide(chosen));
    file.setElevated(true);
    EXPECT_EQ(u16(file.read()->runtime.jrePath), mainJre);
    EXPECT_FALSE(file.read()->runtime.userSources);
    file.setElevated(false);
    EXPECT_TRUE(file.read()->runtime.userSources);

    // A relative base folder names no per-user file: it would be the current folder's.
    {
        const test::ScopedEnvironmentVariable relative(
            platform::kPathSeparator == u'\\' ? u"APPDATA" : u"XDG_CONFIG_HOME", u"config");
        EXPECT_FALSE(perUserIniPath(*file.read(), file.context().executablePath, true, perUser));
        EXPECT_EQ(u16(file.read()->runtime.jrePath), mainJre);
    }

    // Without both names there is no per-user file: a name any program may use, such as the
    // base folder's app.ini, is neither read nor written.
    std::ofstream(config.path() / "fresh" / "config" / "app.ini")
        << "[Java Runtime Environment]\nJRE Path=\n";
    for (const std::string& partial :
         {std::string(), std::string("[Product Information]\nProduct Code=7\n"),
          std::string("[Product Information]\nProduct Name=Acme: Tools/Pro*\n")}) {
        file.write(partial + jre("JRE Path=main-jre\n"));
        const std::optional<Settings> settings = file.read();
        ASSERT_TRUE(settings);
        EXPECT_EQ(u16(settings->runtime.jrePath), mainJre);
        EXPECT_FALSE(perUserIniPath(*settings, file.context().executablePath, true, perUser));
    }
}

TEST(Settings, RestartCodeAndSplashScreen) {
    const struct {
        const char* lines;
        std::optional<int32_t> restartCode;
        const char* splash; // under the executable's folder; null: none
    } cases[] = {
        {"Restart Code=23\nSplash Screen=img/s.png\n", 23, "img/s.png"},
        {"Restart Code=-1\n", -1, nullptr},
        {"Restart Code=2x\n", std::nullopt, nullptr},
        {"Restart Code=4294967319\n", std::nullopt, nullptr},
    };
    SettingsFile file;
    for (const auto& c : cases) {
        file.write(jre("") + "[Application]\n" + c.lines);
        const std::optional<Settings> s = file.read();
        ASSERT_TRUE(s) << c.lines;
        EXPECT_EQ(s->restartCode, c.restartCode) << c.lines;
        EXPECT_EQ(u16(s->splashScreen),
                  c.splash ? u16(file.context().executableFolder) + u16(wide(c.splash)) : u"")
            << c.lines;
    }
}

} // namespace
} // namespace noviq
