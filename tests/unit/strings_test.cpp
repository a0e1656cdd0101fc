// The string types' value semantics and substring rules, the system-error line, and the
// invariant checks.
#include <gtest/gtest.h>

#include "base/format.h"
#include "base/string_list.h"
#include "common/messages.h"
#include "platform/path_style.h"
#include "test_support.h"

namespace noviq {
namespace {

using test::u16;

TEST(WideString, ModifyingACopyLeavesTheOriginal) {
    WideString original(u"com.example.App");
    WideString copy = original;
    EXPECT_EQ(copy.Replace(u'.', u'/'), 2);
    EXPECT_EQ(u16(original), u"com.example.App");
    EXPECT_EQ(u16(copy), u"com/example/App");
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

TEST(WideString, AppendGrowsAndMayUseItsOwnCharacters) {
    WideString text(u"ab");
    text.append(text.c_str(), 2); // the source lies in the buffer that grows
    text += u'c';
    text += WideString(u"-") + u"d";
    EXPECT_EQ(u16(text), u"ababc-d");
    WideString big;
    for (int i = 0; i < 10000; ++i)
        big += u'x';
    EXPECT_EQ(big.length(), 10000);
}

// Each system names itself in its system-error line; the code shows as a signed number.
TEST(Messages, SystemErrorLine) {
    testing::internal::CaptureStdout();
    ReportSystemError(MessageId::WindowsException, MessageId::ModulePathFailed, 0x80070005u);
    std::string out = testing::internal::GetCapturedStdout();
    std::erase(out, '\r'); // text mode on Windows
    const std::string system =
        platform::kPathSeparator == u'\\' ? "Windows exception" : "System error";
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

} // namespace
} // namespace noviq
