// Text rules of the core: the string types' value semantics and substring rules, cutting
// text at separators, splitting command lines and paths, creating parent folders, the link
// colours a user may keep as text in the registry, the restart count that travels between
// starts (the scenarios see it travel), the system-error line, and the invariant checks.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "base/format.h"
#include "common/messages.h"
#include "common/path_utils.h"
#include "gui/anchor_color.h"
#include "launcher/restart.h"
#include "platform/errors.h"
#include "test_support.h"

namespace noviq {
namespace {

using test::texts;
using test::Texts;
using test::u16;

TEST(WideString, ACopyOrItsOwnCharactersAreNotChangedBehindItsBack) {
    WideString original(u"com.example.App");
    WideString copy = original;
    EXPECT_EQ(copy.Replace(u'.', u'/'), 2);
    EXPECT_EQ(u16(original), u"com.example.App");
    EXPECT_EQ(u16(copy), u"com/example/App");
    WideString text(u"ab");
    text.append(text.c_str(), 2); // the source lies in the buffer that grows
    text += u'c';
    text += WideString(u"-") + u"d";
    EXPECT_EQ(u16(text), u"ababc-d");
}

TEST(WideString, SubstringsClampTheirRanges) {
    const WideString abc(u"abc");
    struct Case {
        WideString result;
        std::u16string expected;
    } cases[] = {
        {abc.Mid(5, 10), u""},   {abc.Left(-1), u""},   {abc.Right(100), u"abc"},
        {abc.Mid(-3, 2), u"ab"}, {abc.Mid(1, -1), u""}, {abc.Mid(1, 99), u"bc"},
        {abc.Right(2), u"bc"},   {abc.Left(2), u"ab"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(u16(c.result), c.expected);

    WideString text(u"abcdef");
    EXPECT_EQ(text.Delete(-2, 2), 4);
    EXPECT_EQ(u16(text), u"cdef");
    EXPECT_EQ(text.Delete(3, 100), 3);
    EXPECT_EQ(u16(text), u"cde");
}

// Each system names itself in its system-error line; the code shows as a signed number.
TEST(Messages, SystemErrorLine) {
    testing::internal::CaptureStdout();
    ReportSystemError(MessageId::WindowsException, MessageId::ModulePathFailed, 0x80070005u);
    std::string out = testing::internal::GetCapturedStdout();
    std::erase(out, '\r'); // text mode on Windows
    const std::string system = test::onWindows() ? "Windows exception" : "System error";
    EXPECT_EQ(out,
              "Error: " + system + ": failed to get the module path (errno = -2147024891). \n");
}

using StringsDeathTest = ::testing::Test;

TEST(StringsDeathTest, InvariantViolationsEndTheProcess) {
#ifdef _WIN32
    GTEST_SKIP() << "a crashing child takes seconds in Wine's debugger";
#endif
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const WideString abc(u"abc");
    EXPECT_DEATH((void)abc[3], "");
    EXPECT_DEATH((void)WideString(u"x", -1), "");
    EXPECT_DEATH(Format(WideString(u"%s %s"), abc), "");
    StringList list;
    EXPECT_DEATH((void)list[0], "");
}

// That the pieces join back into the text, inner empty pieces included, is
// tests/fuzz/command_line_fuzz.cpp's property; what it leaves open is the last separator's.
TEST(SplitAtSeparator, NothingAfterTheLastSeparator) {
    const std::pair<const char16_t*, Texts> cases[] = {
        {u"a;b;", {u"a", u"b"}}, {u";", {u""}}, {u"a;;b", {u"a", u"", u"b"}}};
    for (const auto& [text, pieces] : cases) {
        StringList list = test::listOf({u"stale"});
        splitAtSeparator(text, u";", list);
        EXPECT_EQ(texts(list), pieces) << u16(WideString(text)).size();
    }
}

// Quoted arguments between spaces and tabs come back whole by the fuzz target's round trip;
// these are quotes inside an argument, separators at the ends, and backslashes.
TEST(TokenizeCommandLine, GroupsQuotesWithoutEscapes) {
    const std::pair<const char16_t*, Texts> cases[] = {
        {u"tool.exe one\"two", {u"tool.exe", u"one\"two"}},
        {u"\"a\"b", {u"a", u"b"}},
        {u" x", {u"", u"x"}},
        {u"a\\\"b\" c", {u"a\\\"b\"", u"c"}},
        {u"a   ", {u"a"}},
    };
    for (const auto& [text, arguments] : cases) {
        StringList list;
        tokenizeCommandLine(text, list);
        EXPECT_EQ(texts(list), arguments);
    }
    // A long command line ending in an unbalanced quote: every argument, the last one whole.
    std::u16string many;
    for (int i = 0; i < 10000; ++i)
        many += u"arg ";
    StringList list;
    tokenizeCommandLine(test::wide(many + u"\"open end"), list);
    ASSERT_EQ(list.count(), 10001);
    EXPECT_EQ(u16(list[10000]), u"open end");
}

TEST(SplitPath, FindsRootsOfEveryForm) {
    struct Case {
        const char16_t* path;
        Texts elements;
    };
    const std::vector<Case> windowsCases = {
        {u"C:\\logs\\app\\out.txt", {u"C:", u"logs", u"app", u"out.txt"}},
        {u"\\\\?\\C:\\a\\b\\f.txt", {u"\\\\?\\C:", u"a", u"b", u"f.txt"}},
        {u"\\\\server\\share\\dir\\f.txt", {u"\\\\server", u"share", u"dir", u"f.txt"}},
        {u"logs\\out.txt", {u"logs", u"out.txt"}},
    };
    const std::vector<Case> posixCases = {
        {u"/logs/app/out.txt", {u"", u"logs", u"app", u"out.txt"}},
        {u"logs/out.txt", {u"logs", u"out.txt"}},
    };
    for (const Case& c : platform::kPathSeparator == u'\\' ? windowsCases : posixCases) {
        StringList list;
        splitPath(c.path, list);
        EXPECT_EQ(texts(list), c.elements);
    }
}

// What the user writes is the application's unless it names one place whatever the current
// folder (and, on Windows, the current drive) is.
TEST(AbsoluteFrom, RelativePathsAreTheFolders) {
    using Cases = std::vector<std::pair<std::u16string, std::u16string>>;
    const bool windows = platform::kPathSeparator == u'\\';
    const std::u16string folder = windows ? u"C:\\app" : u"/app";
    const Cases cases = windows ? Cases{{u"D:\\jre", u"D:\\jre"},
                                        {u"\\\\srv\\jre", u"\\\\srv\\jre"},
                                        {u"jre", u"C:\\app\\jre"},
                                        {u"\\jre", u"C:\\app\\jre"},
                                        {u"D:jre", u"C:\\app\\jre"}}
                                // that drive's folder is unknown
                                : Cases{{u"/opt/jre", u"/opt/jre"}, {u"jre", u"/app/jre"}};
    for (const auto& [written, expected] : cases)
        EXPECT_EQ(u16(absoluteFrom(test::wide(folder), test::wide(written))), expected);
}

TEST(CreateParentFolders, CreatesEveryFolderAboveTheFile) {
    test::TempFolder folder;
    const auto file = folder.path() / "logs" / "app" / "out.txt";
    EXPECT_EQ(createParentFolders(test::wide(file)), 0u);
    EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "logs" / "app"));
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(createParentFolders(test::wide(file)), 0u); // folders that exist are fine

    // A relative path is never taken as existing and creates nothing here.
    EXPECT_FALSE(pathExists(u"logs"));
    EXPECT_EQ(createParentFolders(u"rel-noviq-test"), 0u);

    // A failure comes back and takes back only what this call made: a folder that was there
    // before stays, even an empty one.
    std::filesystem::create_directories(folder.path() / "kept");
    const std::string tooLong(300, 'n'); // no file system takes a name this long
    EXPECT_NE(createParentFolders(test::wide(folder.path() / "kept" / "made" / tooLong / "f.txt")),
              0u);
    EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "kept"));
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "kept" / "made"));

    EXPECT_EQ(createParentFolders(WideString()), platform::kErrorInvalidParameter);
}

// Which text is accepted, and the values read; that an accepted colour written back reads the
// same is tests/fuzz/link_colour_fuzz.cpp's property.
TEST(ParseAnchorColor, ReadsThreeNumbersAndRejectsIncompleteText) {
    const struct {
        const char16_t* text;
        std::optional<RgbColor> colour;
    } cases[] = {
        {u"255,0,0", RgbColor{255, 0, 0}},
        {u" 12 ,+34,56 and more", RgbColor{12, 34, 56}},
        {u"300,-2,1,9", RgbColor{44, 254, 1}},     // low 8 bits; the third number ends the text
        {u"99999999999,x,0", RgbColor{255, 0, 0}}, // beyond 32 bits; no digits read as 0
        {u"0,0,-1", RgbColor{0, 0, 255}},
        {u"255,0", std::nullopt},
        {u"255,0,", std::nullopt},
        {u"-1,0,0", std::nullopt},
        {u"0, -1,0", std::nullopt}, // -1 as the second number too
        {u"", std::nullopt},
    };
    for (const auto& c : cases) {
        const std::u16string_view text(c.text);
        EXPECT_EQ(parseAnchorColor(text), c.colour) << std::string(text.begin(), text.end());
    }
}

TEST(Restart, CountTextAndLimit) {
    for (const char* bad :
         {"", "3", ":5", "3:", "a:5", "3:5x", "-1:5", "6:5", "1:9999999999999999999"})
        EXPECT_FALSE(parseRestartCount(test::wide(bad))) << bad;
    // Five restarts within the window, then none; a window that is over or a clock set back
    // starts again at one.
    std::optional<RestartCount> count;
    for (int64_t now = 1000; now < 1005; ++now) {
        count = nextRestart(count, now);
        ASSERT_TRUE(count);
        EXPECT_EQ(count->windowStart, 1000);
    }
    EXPECT_EQ(count->restarts, kRestartLimit);
    EXPECT_FALSE(nextRestart(count, 1059));
    for (int64_t now : {1060, 999}) {
        const std::optional<RestartCount> fresh = nextRestart(count, now);
        ASSERT_TRUE(fresh) << now;
        EXPECT_EQ(fresh->restarts, 1);
        EXPECT_EQ(fresh->windowStart, now);
    }
}

} // namespace
} // namespace noviq
