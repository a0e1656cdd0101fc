// Cutting text at separators, splitting command lines, and creating parent folders.
#include <gtest/gtest.h>

#include <vector>

#include "common/path_utils.h"
#include "platform/errors.h"
#include "platform/path_style.h"
#include "test_support.h"

namespace noviq {
namespace {

using test::u16;

std::vector<std::u16string> items(const StringList& list) {
    std::vector<std::u16string> out;
    for (const WideString& s : list)
        out.push_back(u16(s));
    return out;
}

using Pieces = std::vector<std::u16string>;

TEST(SplitAtSeparator, KeepsInnerEmptyPiecesOnly) {
    struct Case {
        const char16_t* text;
        Pieces pieces;
    } cases[] = {
        {u"a;b", {u"a", u"b"}},  {u"a;;b", {u"a", u"", u"b"}},
        {u"a;b;", {u"a", u"b"}}, {u";a", {u"", u"a"}},
        {u";", {u""}},           {u"", {}},
        {u"abc", {u"abc"}},
    };
    for (const Case& c : cases) {
        StringList list;
        list.add(u"stale");
        splitAtSeparator(c.text, u";", list);
        EXPECT_EQ(items(list), c.pieces) << u16(WideString(c.text)).size();
    }
}

TEST(TokenizeCommandLine, GroupsQuotesWithoutEscapes) {
    struct Case {
        const char16_t* text;
        Pieces arguments;
    } cases[] = {
        {u"tool.exe \"one two\"  three", {u"tool.exe", u"one two", u"three"}},
        {u"tool.exe one\"two", {u"tool.exe", u"one\"two"}},
        {u"\"a\"b", {u"a", u"b"}},
        {u"\"\"", {u""}},
        {u" x", {u"", u"x"}},
        {u"tool.exe\tfirst\t\"x y\"\t c", {u"tool.exe", u"first", u"x y", u"c"}}, // tabs separate
        {u"a\\\"b\" c", {u"a\\\"b\"", u"c"}},
        {u"", {}},
        {u"a   ", {u"a"}},
    };
    for (const Case& c : cases) {
        StringList list;
        tokenizeCommandLine(c.text, list);
        EXPECT_EQ(items(list), c.arguments);
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
        Pieces elements;
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
        EXPECT_EQ(items(list), c.elements);
    }
}

// What the user writes is the application's unless it names one place whatever the current
// folder (and, on Windows, the current drive) is.
TEST(AbsoluteFrom, RelativePathsAreTheFolders) {
    using Cases = std::vector<std::pair<std::u16string, std::u16string>>;
    const bool windows = platform::kPathSeparator == u'\\';
    const std::u16string folder = windows ? u"C:\\app" : u"/app";
    const Cases cases = windows
                            ? Cases{{u"D:\\jre", u"D:\\jre"},
                                    {u"\\\\srv\\jre", u"\\\\srv\\jre"},
                                    {u"jre", u"C:\\app\\jre"},
                                    {u"\\jre", u"C:\\app\\jre"},
                                    {u"D:jre", u"C:\\app\\jre"}, // that drive's folder is unknown
                                    {u"", u""}}
                            : Cases{{u"/opt/jre", u"/opt/jre"}, {u"jre", u"/app/jre"}, {u"", u""}};
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

    // A file in the way of a folder: the error comes back, nothing is left behind.
    folder.write("blocker", "x");
    const auto blocked = folder.path() / "blocker" / "sub" / "f.txt";
    EXPECT_NE(createParentFolders(test::wide(blocked)), 0u);

    // A failure takes back only what this call made: a folder that was there before stays,
    // even an empty one.
    std::filesystem::create_directories(folder.path() / "kept");
    const std::string tooLong(300, 'n'); // no file system takes a name this long
    EXPECT_NE(createParentFolders(test::wide(folder.path() / "kept" / tooLong / "f.txt")), 0u);
    EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "kept"));
    EXPECT_NE(createParentFolders(test::wide(folder.path() / "kept" / "made" / tooLong / "f.txt")),
              0u);
    EXPECT_TRUE(std::filesystem::is_directory(folder.path() / "kept"));
    EXPECT_FALSE(std::filesystem::exists(folder.path() / "kept" / "made"));

    EXPECT_EQ(createParentFolders(WideString()), platform::kErrorInvalidParameter);
}

} // namespace
} // namespace noviq
