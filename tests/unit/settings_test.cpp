// Reading INI files through the profile interface (the file rules, the doubling read and the
// "+"-section rule; hostile files must neither crash nor hang), and the launcher's settings
// read from them: the flag tables, exact and case-blind comparisons, and which file "JRE
// Path" comes from.
#include <gtest/gtest.h>

#include "common/ini_file.h"
#include "launcher/settings.h"
#include "platform/environment.h"
#include "test_support.h"

namespace noviq {
namespace {

using test::u16;
using test::wide;

// The bytes of a literal, embedded zeros included.
template <size_t N> std::string bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

struct ReadCase {
    const char* name;
    std::string content;
    std::u16string section, key, expected;
};

TEST(IniRead, FollowsTheProfileRules) {
    const std::string utf16Bom =
        std::string("\xFF\xFE", 2) + bytes("[\0S\0]\0\r\0\n\0k\0=\0\xE9\0\r\0\n\0");
    const ReadCase cases[] = {
        {"names ignore case", "[Java Runtime Environment]\nMAIN class=a.B\n",
         u"java runtime environment", u"Main Class", u"a.B"},
        {"first duplicate wins", "[S]\nk=one\nk=two\n", u"S", u"k", u"one"},
        {"comment lines", "[S]\n;k=hidden\nk=shown\n", u"S", u"k", u"shown"},
        {"spaces and tabs trimmed", "[S]\n \tk \t= \ta b\t \n", u"S", u"k", u"a b"},
        {"double quotes stripped", "[S]\nk=\" a \"\n", u"S", u"k", u" a "},
        {"single quotes stripped", "[S]\nk='x'\n", u"S", u"k", u"x"},
        {"lone quote kept", "[S]\nk=\"half\n", u"S", u"k", u"\"half"},
        {"empty value", "[S]\nk=\n", u"S", u"k", u""},
        {"missing section", "[S]\nk=v\n", u"T", u"k", u""},
        {"other section's key", "[S]\nk=v\n[T]\nj=w\n", u"S", u"j", u""},
        {"CR LF lines", "[S]\r\nk=v\r\nj=w\r\n", u"S", u"j", u"w"},
        {"no final line break", "[S]\nk=last", u"S", u"k", u"last"},
        {"CR-only lines", "[S]\rk=v\rj=w\r", u"S", u"j", u"w"},
        {"UTF-8 with BOM", "\xEF\xBB\xBF[S]\nk=\xC3\xA9\n", u"S", u"k", u"\u00E9"},
        {"UTF-16 with BOM", utf16Bom, u"S", u"k", u"\u00E9"},
        {"only the first section of a name", "[S]\na=1\n[T]\n[S]\nc=3\n", u"S", u"c", u""},
        {"header up to its last bracket", "[X]y]\nk=v\n", u"X]y", u"k", u"v"},
        {"bracket line without close is no header", "[S]\n[noclose\nk=v\n", u"S", u"k", u"v"},
        {"binary garbage", bytes("\x01\x02[\x00\xFF\n=\n[S]\nk=v\n\x7F"), u"S", u"k", u"v"},
    };
    test::TempFolder folder;
    for (const ReadCase& c : cases) {
        const auto file = folder.write(std::string("case.ini"), c.content);
        EXPECT_EQ(u16(PlainIniFile(wide(file)).GetValue(wide(c.section), wide(c.key))), c.expected)
            << c.name;
    }
}

// Values are read into a buffer that doubles from 256 characters while it comes back full.
TEST(IniRead, LongValuesAndManyKeysComeBackWhole) {
    test::TempFolder folder;
    for (size_t length : {255u, 256u, 511u, 10u * 1024 * 1024}) {
        const std::string value(length, 'v');
        const auto file = folder.write("long.ini", "[S]\nk=" + value + "\n");
        EXPECT_EQ(PlainIniFile(wide(file)).GetValue(u"S", u"k").length(),
                  static_cast<int32_t>(length))
            << length;
    }
    std::string content = "[S]\n";
    for (int i = 0; i < 100000; ++i)
        content += "key" + std::to_string(i) + "=value" + std::to_string(i) + "\n";
    const auto file = folder.write("many.ini", content);
    EXPECT_EQ(u16(PlainIniFile(wide(file)).GetValue(u"S", u"key99999")), u"value99999");
}

TEST(IniFileRule, ContinuationSectionFillsAnEmptyValue) {
    test::TempFolder folder;
    const auto file =
        folder.write("plus.ini", "[Java Runtime Environment]\nJRE Path=\nBoth=plain\n"
                                 "[Java Runtime Environment+]\nJRE Path=jre\nBoth=plus\n"
                                 "Spaced=\"  kept\"\n");
    const IniFile ini(wide(file));
    const PlainIniFile plain(wide(file));
    const WideString section(u"Java Runtime Environment");
    EXPECT_EQ(u16(ini.GetValue(section, u"JRE Path")), u" jre");
    EXPECT_EQ(u16(plain.GetValue(section, u"JRE Path")), u"");
    EXPECT_EQ(u16(ini.GetValue(section, u"Both")), u"plain");
    EXPECT_EQ(u16(ini.GetValue(section, u"Spaced")), u"  kept");
    EXPECT_EQ(u16(ini.GetValue(section, u"Absent")), u"");
}

// A value written is read back, and others are kept, by tests/fuzz/ini_reader_fuzz.cpp; a
// new file is made by the per-user "JRE Path" below.
TEST(IniWrite, KeepsTheFilesEncodingAndMakesNoFolder) {
    test::TempFolder folder;
    // An existing UTF-16 file keeps non-ASCII text intact through a write.
    const std::string utf16 = std::string("\xFF\xFE", 2) + bytes("[\0S\0]\0\r\0\n\0");
    const auto file = folder.write("wide.ini", utf16);
    const PlainIniFile wideIni(wide(file));
    wideIni.SetValue(u"S", u"k", u"\u00E9\u4E2D");
    EXPECT_EQ(u16(wideIni.GetValue(u"S", u"k")), u"\u00E9\u4E2D");

    // A folder that does not exist: nothing is written, nothing crashes.
    const PlainIniFile nowhere(wide(folder.path() / "missing" / "x.ini"));
    nowhere.SetValue(u"S", u"k", u"v");
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "missing"));
}

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
    const char16_t* const baseVariable = test::onWindows() ? u"APPDATA" : u"XDG_CONFIG_HOME";
    // A fresh account: not even the per-user base folder exists yet.
    const test::ScopedEnvironmentVariable base(baseVariable,
                                               wide(config.path() / "fresh" / "config"));
    SettingsFile file;
    const std::string identity =
        "[Product Information]\nProduct Name=Acme: Tools/Pro*\nProduct Code=7\n";
    const auto jrePath = [&](const std::string& settings) {
        file.write(settings + jre("JRE Path=main-jre\n"));
        return u16(file.read()->runtime.jrePath);
    };
    // A relative folder is the application's, never the current folder's.
    const std::u16string mainJre = u16(file.context().executableFolder) + u"main-jre";
    EXPECT_EQ(jrePath(identity), mainJre);

    // Saving creates the per-user folders, named without the characters a folder can't hold.
    const std::u16string chosen = u16(wide(config.path() / "chosen-jre"));
    saveJrePath(*file.read(), file.context(), wide(chosen));
    WideString perUser;
    ASSERT_TRUE(perUserIniPath(*file.read(), file.context().executablePath, false, perUser));
    EXPECT_NE(u16(perUser).find(u"Acme ToolsPro"), std::u16string::npos);
    EXPECT_EQ(jrePath(identity), chosen); // the file just written
    // An elevated start neither reads the per-user file nor searches the user's keys: any
    // program of the user could have written them.
    EXPECT_TRUE(file.read()->runtime.userSources);
    file.setElevated(true);
    EXPECT_EQ(jrePath(identity), mainJre);
    EXPECT_FALSE(file.read()->runtime.userSources);
    file.setElevated(false);

    // An existing per-user file decides even with an empty value; services ignore it.
    PlainIniFile(perUser).SetValue(u"Java Runtime Environment", u"JRE Path", u"");
    EXPECT_EQ(jrePath(identity), u"");
    EXPECT_EQ(jrePath(identity + "[Application]\nApplication Type=service\n"), mainJre);

    // A relative base folder names no per-user file: it would be the current folder's.
    {
        const test::ScopedEnvironmentVariable relative(baseVariable, u"config");
        EXPECT_FALSE(perUserIniPath(*file.read(), file.context().executablePath, true, perUser));
        EXPECT_EQ(jrePath(identity), mainJre);
    }

    // Without both names there is no per-user file: a name any program may use, such as the
    // base folder's app.ini, is neither read nor written.
    std::ofstream(config.path() / "fresh" / "config" / "app.ini")
        << "[Java Runtime Environment]\nJRE Path=\n";
    for (const std::string& partial : {std::string(),
                                       std::string("[Product Information]\n"
                                                   "Product Code=7\n"),
                                       std::string("[Product Information]\n"
                                                   "Product Name=Acme: Tools/Pro*\n")}) {
        EXPECT_EQ(jrePath(partial), mainJre);
        EXPECT_FALSE(perUserIniPath(*file.read(), file.context().executablePath, true, perUser));
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
