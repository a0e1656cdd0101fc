// The string types' value semantics, substring rules and formatting.
#include <gtest/gtest.h>

#include "base/format.h"
#include "base/string_list.h"
#include "common/messages.h"
#include "common/text.h"
#include "platform/path_style.h"
#include "test_support.h"

namespace noviq {
namespace {

using test::u16;

TEST(WideString, CopiesShareUntilOneIsModified) {
    WideString original(u"com.example.App");
    WideString copy = original;
    EXPECT_TRUE(copy.sharesBufferWith(original));
    EXPECT_EQ(copy.Replace(u'.', u'/'), 2);
    EXPECT_FALSE(copy.sharesBufferWith(original));
    EXPECT_EQ(u16(original), u"com.example.App");
    EXPECT_EQ(u16(copy), u"com/example/App");
}

TEST(WideString, EmptyStringsShareOneRepresentation) {
    WideString a, fromNull(static_cast<const char16_t*>(nullptr));
    WideString d(u"x");
    d.Delete(0, 1);
    d.ReleaseBuffer(0);
    EXPECT_TRUE(a.sharesBufferWith(fromNull));
    EXPECT_TRUE(a.sharesBufferWith(d)); // emptied
    EXPECT_EQ(*a.c_str(), u'\0');
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
    EXPECT_TRUE(abc.Left(3).sharesBufferWith(abc)); // the whole string is a shared copy

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

TEST(WideString, SearchAndTrim) {
    const WideString path(u"C:\\a\\b.ini");
    EXPECT_EQ(path.ReverseFind(u'\\'), 4);
    EXPECT_EQ(path.ReverseFind(u'/'), -1);
    EXPECT_EQ(path.Find(WideString(u"b.")), 5);
    EXPECT_EQ(path.Find(WideString(u"zz")), -1);
    EXPECT_EQ(u16(trimmed(WideString(u" \t x \t\r\n"))), u"x");
    EXPECT_EQ(u16(trimmed(WideString(u" \t "))), u"");
}

TEST(WideString, ComparisonsAreExactUnlessAskedOtherwise) {
    EXPECT_TRUE(WideString(u"service") == u"service");
    EXPECT_FALSE(WideString(u"Service") == u"service");
    EXPECT_FALSE(WideString(u"servic") == u"service");
    EXPECT_TRUE(WideString(u"any").equalsAscii("any"));
    EXPECT_TRUE(equalsIgnoringAsciiCase(WideString(u"yEs"), "Yes"));
    EXPECT_FALSE(equalsIgnoringAsciiCase(WideString(u"Yes "), "Yes"));
}

TEST(WideString, NarrowRoundTripOfAscii) {
    const WideString text(u"-Djava.class.path=C:\\app\\a.jar;");
    EXPECT_TRUE(widen(narrow(text)) == text);
}

TEST(Format, MeasuresAndWritesTemplates) {
    const WideString name(u"x");
    EXPECT_EQ(u16(Format(WideString(u"%s=%d (%u) 100%%"), name, int32_t{-5}, uint32_t{7})),
              u"x=-5 (7) 100%");
    EXPECT_EQ(u16(decimal(INT64_MIN)), u"-9223372036854775808");
    EXPECT_EQ(u16(decimalUnsigned(UINT64_MAX)), u"18446744073709551615");
}

TEST(Messages, ReportedLinesAndTemplatesHaveTheirExactShape) {
    testing::internal::CaptureStdout();
    ReportMessage(MessageId::MainClassMissing);
    ReportSystemError(MessageId::WindowsException, MessageId::ModulePathFailed, 0x80070005u);
    std::string out = testing::internal::GetCapturedStdout();
    std::erase(out, '\r'); // text mode on Windows
    // Each system names itself in its system-error line.
    const std::string system =
        platform::kPathSeparator == u'\\' ? "Windows exception" : "System error";
    EXPECT_EQ(out, "Error: Main class was not specified in INI file. \n"
                   "Error: " +
                       system +
                       ": failed to get the module path (errno = -2147024891).\n"
                       " \n");

    // Other texts show in the lines the scenarios check; ids outside the table have none.
    EXPECT_TRUE(LoadMessage(static_cast<MessageId>(231)).isEmpty());
    EXPECT_TRUE(LoadMessage(static_cast<MessageId>(0)).isEmpty());
    // A JNI result without a reason leaves "Reason: " directly before the period.
    EXPECT_EQ(u16(FormatById(MessageId::JniException, LoadMessage(MessageId::CreateJvmFailed),
                             WideString())),
              u"JNI exception: failed to create the Java VM\nReason: .\n");
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
