// Reading the launcher's settings from the INI file beside the (test) executable: the flag
// tables, exact and case-blind comparisons, and which file "JRE Path" comes from.
#include <gtest/gtest.h>

#include "common/ini_file.h"
#include "launcher/launcher.h"
#include "platform/environment.h"
#include "platform/path_style.h"
#include "test_support.h"

namespace noviq {
namespace {

using test::u16;
using test::wide;

// Writes the INI file that belongs to this test executable, and removes it afterwards.
class SettingsFile {
public:
    SettingsFile() {
        Launcher probe;
        EXPECT_TRUE(probe.iniPath(path_));
    }
    ~SettingsFile() { std::filesystem::remove(std::filesystem::path(u16(path_))); }
    void write(const std::string& content) const {
        std::ofstream(std::filesystem::path(u16(path_)), std::ios::binary) << content;
    }
    const WideString& path() const { return path_; }

private:
    WideString path_;
};

std::string jre(const std::string& lines) {
    return "[Java Runtime Environment]\nMain Class=com.example.App\n" + lines;
}

TEST(Settings, MainClassIsRequiredAndTakesSlashes) {
    SettingsFile file;
    file.write("[Java Runtime Environment]\nMinimum Version=1.6\n");
    Launcher missing;
    EXPECT_FALSE(missing.readSettings());

    file.write("[Java Runtime Environment+]\nMain Class=com.example.App\n");
    Launcher layered;
    ASSERT_TRUE(layered.readSettings());
    EXPECT_EQ(u16(layered.mainClass), u" com/example/App"); // the continuation adds a space
}

TEST(Settings, SourceAndProviderTables) {
    struct Case {
        const char* lines;
        bool jdk, jre, both;
        bool jrockitAllowed, sunAllowed, ibmAllowed, jrockitPreferred, sunPreferred, ibmPreferred;
    } cases[] = {
        {"", true, true, true, false, true, false, false, true, false},
        {"JVM Source=favor_JRE\n", false, true, true, false, true, false, false, true, false},
        {"JVM Source=favor_JDK\n", true, false, true, false, true, false, false, true, false},
        {"JVM Source=only_JRE\n", false, true, false, false, true, false, false, true, false},
        {"JVM Source=only_JDK\n", true, false, false, false, true, false, false, true, false},
        {"JVM Source=ONLY_JRE\n", false, false, false, false, true, false, false, true, false},
        {"VM Provider=jrockit\n", true, true, true, true, false, false, true, false, false},
        {"VM Provider=IBM\n", true, true, true, false, false, true, false, false, true},
        {"VM Provider=favor_sun\n", true, true, true, true, true, true, false, true, false},
        {"VM Provider=Favor_JRockit\n", true, true, true, true, true, true, true, false, false},
        {"VM Provider=favor_ibm\n", true, true, true, true, true, true, false, false, true},
        {"VM Provider=any\n", true, true, true, true, true, true, false, false, false},
        {"VM Provider=oracle\n", true, true, true, false, true, false, false, true, false},
    };
    SettingsFile file;
    for (const Case& c : cases) {
        file.write(jre(c.lines));
        Launcher l;
        ASSERT_TRUE(l.readSettings()) << c.lines;
        const bool actual[] = {l.preferJdk,        l.preferJre,    l.searchBothKinds,
                               l.jrockitAllowed,   l.sunAllowed,   l.ibmAllowed,
                               l.jrockitPreferred, l.sunPreferred, l.ibmPreferred};
        const bool expected[] = {c.jdk,
                                 c.jre,
                                 c.both,
                                 c.jrockitAllowed,
                                 c.sunAllowed,
                                 c.ibmAllowed,
                                 c.jrockitPreferred,
                                 c.sunPreferred,
                                 c.ibmPreferred};
        for (int i = 0; i < 9; ++i)
            EXPECT_EQ(actual[i], expected[i]) << c.lines << " flag " << i;
    }
}

TEST(Settings, ExactAndCaseBlindValues) {
    SettingsFile file;
    file.write(jre("JVM Type=Server\nPreferred versions=1.5;;1.6;\nMinimum Version=any\n") +
               "[Application]\nApplication Type=Service\nPair Return Code=YES\n"
               "Failure Check=yes\nOverride WorkingDir=No\n");
    Launcher a;
    ASSERT_TRUE(a.readSettings());
    EXPECT_EQ(a.jvmType, JvmType::Default);
    EXPECT_FALSE(a.isService);
    EXPECT_TRUE(a.pairReturnCode);
    EXPECT_TRUE(a.failureCheck);
    EXPECT_FALSE(a.overrideWorkingDir);
    EXPECT_EQ(a.preferredVersions.count(), 3);
    EXPECT_EQ(a.versionRange.minimum.count(), 4);
    EXPECT_EQ(a.versionRange.maximum.count(), 0);

    file.write(jre("JVM Type=favor_server\n") +
               "[Application]\nApplication Type=service\nOmit Service Name=x\n");
    Launcher b;
    ASSERT_TRUE(b.readSettings());
    EXPECT_EQ(b.jvmType, JvmType::FavorServer);
    EXPECT_TRUE(b.isService);
    EXPECT_TRUE(b.omitServiceName);
}

TEST(Settings, JrePathComesFromThePerUserFileOnceItExists) {
    test::TempFolder config;
    const WideString variable = platform::kPathSeparator == u'\\' ? u"APPDATA" : u"XDG_CONFIG_HOME";
    const auto saved = platform::environmentVariable(variable, 4096);
    // A fresh account: not even the per-user base folder exists yet.
    platform::setEnvironmentVariable(variable, wide(config.path() / "fresh" / "config"));

    SettingsFile file;
    const std::string identity =
        "[Product Information]\nProduct Name=Acme: Tools/Pro*\nProduct Code=7\n";
    file.write(identity + jre("JRE Path=main-jre\n"));
    Launcher noUserFile;
    ASSERT_TRUE(noUserFile.readSettings());
    EXPECT_EQ(u16(noUserFile.jrePath), u"main-jre");

    // Saving creates the per-user folders, named without the characters a folder can't hold.
    noUserFile.saveJrePath(u"chosen-jre");
    WideString executable, perUser;
    ASSERT_TRUE(noUserFile.modulePath(executable));
    ASSERT_TRUE(noUserFile.perUserIniPath(executable, false, perUser));
    EXPECT_NE(u16(perUser).find(u"Acme ToolsPro"), std::u16string::npos);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(u16(perUser))));

    Launcher foreground;
    ASSERT_TRUE(foreground.readSettings());
    EXPECT_EQ(u16(foreground.jrePath), u"chosen-jre");

    // An existing per-user file decides even with an empty value; services ignore it.
    PlainIniFile(perUser).SetValue(u"Java Runtime Environment", u"JRE Path", u"");
    Launcher emptyValue;
    ASSERT_TRUE(emptyValue.readSettings());
    EXPECT_EQ(u16(emptyValue.jrePath), u"");

    file.write(identity + jre("JRE Path=main-jre\n") + "[Application]\nApplication Type=service\n");
    Launcher service;
    ASSERT_TRUE(service.readSettings());
    EXPECT_EQ(u16(service.jrePath), u"main-jre");

    if (saved)
        platform::setEnvironmentVariable(variable, *saved);
}

} // namespace
} // namespace noviq
