// Reading INI values through the profile interface: the file rules, the doubling read and
// the "+"-section rule; hostile files must neither crash nor hang.
#include <gtest/gtest.h>

#include "common/ini_file.h"
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
    for (size_t length : {254u, 255u, 256u, 511u, 10u * 1024 * 1024}) {
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

TEST(IniWrite, CreatesFileSectionAndKeyAndReplacesValues) {
    test::TempFolder folder;
    const WideString path = wide(folder.path() / "new.ini");
    const PlainIniFile ini(path);
    EXPECT_EQ(u16(ini.GetValue(u"S", u"k")), u"");
    ini.SetValue(u"S", u"k", u"first");
    ini.SetValue(u"S", u"j", u"second");
    ini.SetValue(u"T", u"k", u"third");
    ini.SetValue(u"s", u"K", u"replaced");
    EXPECT_EQ(u16(ini.GetValue(u"S", u"k")), u"replaced");
    EXPECT_EQ(u16(ini.GetValue(u"S", u"j")), u"second");
    EXPECT_EQ(u16(ini.GetValue(u"T", u"k")), u"third");

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

} // namespace
} // namespace noviq
