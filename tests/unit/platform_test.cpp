// Platform contracts the core relies on, checked on both implementations: directory search
// wildcards, empty environment variables, text conversion, and where a runtime's home lies.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#ifndef _WIN32
#include <unistd.h>
#endif
#include <vector>

#include "jre/jvm_library.h"
#include "platform/console.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/opened_files.h"
#include "platform/path_style.h"
#include "platform/process.h"
#include "platform/text.h"
#include "test_support.h"

namespace noviq {
namespace {

using test::u16;
using test::wide;

std::vector<std::u16string> search(const std::filesystem::path& folder, const char16_t* pattern) {
    std::vector<std::u16string> names;
    platform::DirectorySearch files(wide(folder) + WideString(&platform::kPathSeparator, 1) +
                                    pattern);
    WideString name;
    while (files.next(name))
        names.push_back(u16(name));
    std::sort(names.begin(), names.end());
    return names;
}

TEST(DirectorySearch, OnlyStarAndQuestionMarkAreWildcards) {
    test::TempFolder folder;
    for (const char* name : {"app[1]-x.jar", "app1-y.jar", "a.jar", "b.txt"})
        folder.write(name, "");
    using Names = std::vector<std::u16string>;
    EXPECT_EQ(search(folder.path(), u"app[1]*.jar"), Names{u"app[1]-x.jar"});
    EXPECT_EQ(search(folder.path(), u"?.jar"), Names{u"a.jar"});
    EXPECT_EQ(search(folder.path(), u"*.jar"), (Names{u"a.jar", u"app1-y.jar", u"app[1]-x.jar"}));
    // Folder entries match like files, "." and ".." included.
    const Names all = search(folder.path(), u"*");
    EXPECT_NE(std::find(all.begin(), all.end(), u".."), all.end());
}

// The files an elevated start writes itself: a stream file is emptied and handed over, a
// folder is refused; the trace file is appended to, and a "new file" rule refuses one that
// exists.
TEST(OpenedFiles, StreamFilesAreEmptiedTraceFilesAppended) {
    test::TempFolder folder;
    const std::filesystem::path file = folder.path() / "out.txt";
    std::ofstream(file) << "old content";
    WideString refused;
    EXPECT_TRUE(platform::openStreamFile(test::wide(file), refused)) << narrow(refused).c_str();
    EXPECT_EQ(std::filesystem::file_size(file), 0u);
    EXPECT_FALSE(platform::openStreamFile(test::wide(folder.path()), refused));
    EXPECT_FALSE(refused.isEmpty());

    std::ofstream(file, std::ios::binary) << "kept\n";
    {
        platform::AppendingFile trace;
        EXPECT_TRUE(trace.open(test::wide(file), platform::OpenRule::ExistingOrNew).isEmpty());
        EXPECT_TRUE(trace.append("added\n", 6));
        EXPECT_FALSE(
            trace.open(test::wide(file), platform::OpenRule::NewInProtectedFolder).isEmpty());
    }
    std::ifstream in(file, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "kept\nadded\n");
}

TEST(Environment, EmptyVariableIsSetNotMissing) {
    const test::ScopedEnvironmentVariable empty(u"NOVIQ_TEST_EMPTY", u"");
    platform::setLastError(203); // ERROR_ENVVAR_NOT_FOUND, as a failed lookup leaves it
    const auto value = platform::environmentVariable(u"NOVIQ_TEST_EMPTY", 16);
    ASSERT_TRUE(value.has_value());
    EXPECT_TRUE(value->isEmpty());
    EXPECT_FALSE(platform::environmentVariable(u"NOVIQ_TEST_SURELY_UNSET", 16).has_value());
}

TEST(Text, MalformedUtf8NeverDecodesToAscii) {
    if (platform::kPathSeparator != u'/')
        GTEST_SKIP() << "Windows converts with its ANSI code page";
    // An overlong "/" or NUL must not pass for the character it imitates.
    EXPECT_EQ(u16(platform::widen("\xC0\xAF", 2)), u"\uFFFD\uFFFD");
    EXPECT_EQ(u16(platform::widen("\xE0\x80\xAF", 3)), u"\uFFFD\uFFFD\uFFFD");
    EXPECT_EQ(u16(platform::widen("caf\xC3\xA9", 5)), u"caf\u00E9");
}

#ifndef _WIN32
TEST(Console, ClosedReaderDoesNotEndTheProcess) {
    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    close(ends[0]);
    std::fflush(stdout);
    const int saved = dup(1);
    dup2(ends[1], 1);
    platform::writeStandardOutput("lost\n", 5); // SIGPIPE would end the test program here
    dup2(saved, 1);
    close(saved);
    close(ends[1]);
}

// A Java 8 runtime on Linux keeps its library one folder deeper (lib/amd64/server): its home
// is still the runtime folder. The other layouts' homes reach the JVM in the hosting
// scenarios (NOVIQ_JVM_HOME).
TEST(RuntimeLayout, Java8HomeIsTheRuntimeFolder) {
    EXPECT_EQ(u16(runtimeHomeOf(u"/opt/jdk8/jre/lib/amd64/server/libjvm.so")), u"/opt/jdk8/jre");
}
#endif

} // namespace
} // namespace noviq
