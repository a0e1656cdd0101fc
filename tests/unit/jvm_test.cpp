// The rules that turn settings into the JVM's start: parameter splitting and unquoting,
// memory and stack sizes, class path entries, the environment, Java's modified UTF-8, and
// class data sharing on both platform layers (the starts that go without because a dump
// could fail, and the rule that only a dump seen complete is ever handed to the JVM).
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <memory>

#include "common/messages.h"
#include "common/text.h"
#include "jvm/class_data_sharing.h"
#include "jvm/java_exception.h"
#include "jvm/java_options.h"
#include "jvm/jvm_options.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/runtime_folders.h"
#include "test_support.h"

namespace noviq {
namespace {

using test::onWindows;
using test::texts;
using test::Texts;
using test::u16;
using test::wide;

// The rows the fuzz target's properties already pin (tokens apart at spaces, quoted pieces
// whole) are not repeated: these are the quote rules inside a token.
TEST(VmParameters, SplitAtUnquotedSpacesThenUnquoted) {
    const struct {
        const char16_t* text;
        Texts tokens; // after unquote
    } cases[] = {
        {u"\"a b\"\"c d\" e", {u"a b\"c", u"d\"", u"e"}}, // doubled quote: literal, then closes
        {u"-Da=\"x y\"z\" w\"", {u"-Da=x yz w"}},
        {u"-Da=\"open end", {u"-Da=\"open", u"end"}}, // a lone quote protects nothing
        {u"\"\"\"\" tab\tin", {u"\"\"", u"tab\tin"}}, // inserted content is not scanned again
    };
    for (const auto& c : cases) {
        Texts tokens;
        for (const WideString& token : splitVmParameters(c.text))
            tokens.push_back(u16(unquote(token)));
        EXPECT_EQ(tokens, c.tokens) << (&c - cases);
    }
}

// The argument file syntax of the java command.
TEST(ArgumentFile, SplitAsJavaReadsIt) {
    const struct {
        const char16_t* text;
        Texts arguments;
    } cases[] = {
        {u"-version -cp \"c:\\\\java libs\\\\one.jar\" \n",
         {u"-version", u"-cp", u"c:\\java libs\\one.jar"}},
        {u"a \"b c\"\fd\t'e f' \"open\tend", {u"a", u"b c", u"d", u"e f", u"open\tend"}},
        {u"one #comment\n'line #2' #rest\r\n#more\nx#y z", {u"one", u"line #2", u"x"}},
        // An open quote ends with its line; a backslash before the line end continues it.
        {u"\"open quote \n  next \"joined \\\n   here\\tand\\\\\"",
         {u"open quote ", u"next", u"joined here\tand\\"}},
        {u"c:\\\"q r\"\\lib 'mixed \"quotes\"' \"\" ''", {u"c:\\q r\\lib", u"mixed \"quotes\""}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(texts(splitArgumentFile(c.text)), c.arguments) << (&c - cases);
}

struct CapturedErrors final : ErrorLineSink {
    std::u16string lines;
    ErrorLineSink* previous = redirectErrorLines(this);
    ~CapturedErrors() { redirectErrorLines(previous); }
    void write(const WideString& line) override { lines += u16(line); }
};

// "Virtual Machine Parameters" and JDK_JAVA_OPTIONS as the java command takes its options.
TEST(JavaOptions, TakenAsJavaTakesThem) {
    const std::u16string folder = onWindows() ? u"C:\\app" : u"/opt/app";
    const std::u16string file = folder + platform::kPathSeparator + u"jvm.args";
    const std::map<std::u16string, std::u16string> files = {
        {file, u"--add-opens java.base/java.lang=ALL-UNNAMED # why\n-Dq=\"a b\" @not.again\n-p"},
        {folder + platform::kPathSeparator + u"main.args", u"-Xmx1g\norg.example.Main"},
    };
    const auto P = OptionSource::Parameters;
    const auto V = OptionSource::Variable;
    const struct {
        OptionSource source;
        Texts tokens;
        Texts options;             // when taken
        std::u16string error = {}; // otherwise
    } cases[] = {
        {P,
         {u"--add-exports", u"m/p=ALL", u"-p", u"mods", u"--add-modules", u"-Dx",
          u"--limit-modules=a"},
         {u"--add-exports=m/p=ALL", u"--module-path=mods", u"--add-modules", u"-Dx",
          u"--limit-modules=a"}},
        {P,
         {u"@jvm.args", u"lib", u"@@at", u"@"},
         {u"--add-opens=java.base/java.lang=ALL-UNNAMED", u"-Dq=a b", u"@not.again",
          u"--module-path=lib", u"@at", u"@"}},
        {P,
         {u"@gone.args"},
         {},
         u"The argument file " + folder + platform::kPathSeparator + u"gone.args cannot be read."},
        {P,
         {u"-Da", u"-cp", u"x.jar"},
         {},
         u"The option -cp is not taken from Virtual Machine Parameters: set \"Class Path\" in the "
         u"INI file instead."},
        {P,
         {u"--module=m/c"},
         {},
         u"The option --module=m/c is not taken from Virtual Machine Parameters: set \"Main "
         u"Class\" in the INI file instead."},
        {V, {u"--patch-module", u"m=p", u"-Dy"}, {u"--patch-module=m=p", u"-Dy"}},
        {V,
         {u"-Dy", u"-version"},
         {},
         u"Option -version is not allowed in environment variable JDK_JAVA_OPTIONS"},
        {V,
         {u"@main.args"},
         {},
         u"Cannot specify main class in environment variable JDK_JAVA_OPTIONS"},
        {V,
         {u"--class-path=a"},
         {},
         u"The option --class-path=a is not taken from JDK_JAVA_OPTIONS: set \"Class Path\" in the "
         u"INI file instead."},
    };
    const FileReader read = [&](const WideString& path) -> std::optional<WideString> {
        const auto found = files.find(u16(path));
        return found == files.end() ? std::nullopt : std::optional<WideString>(wide(found->second));
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const CapturedErrors errors;
        const std::optional<StringList> options =
            takeJavaOptions(test::listOf(c.tokens), c.source, wide(folder), read);
        EXPECT_EQ(options ? texts(*options) : Texts(), c.options);
        EXPECT_EQ(errors.lines, c.error.empty() ? u"" : u"Error: " + c.error + u" \n");
        EXPECT_EQ(options.has_value(), c.error.empty());
    }
    // The variable's own quotes; one left open takes nothing.
    EXPECT_EQ(splitJavaOptionsVariable(u" '-Da=b c'\t-D\"x y\"z  ")->count(), 2);
    EXPECT_EQ(u16((*splitJavaOptionsVariable(u"-D\"x y\"z"))[0]), u"-Dx yz");
    EXPECT_FALSE(splitJavaOptionsVariable(u"-Da='open"));
}

// What jps and jcmd name the application by, unless the parameters name it themselves.
TEST(JavaCommand, MainClassWithDotsThenTheArguments) {
    const StringList arguments = test::listOf({u"x", u"y z"});
    NarrowStringList options;
    options.add("-Dsun.java.commander=1");
    EXPECT_EQ(u16(widen(*javaCommandOption(options, u"a/b/Main", arguments))),
              u"-Dsun.java.command=a.b.Main x y z");
    options.add("-Dsun.java.command=mine");
    EXPECT_FALSE(javaCommandOption(options, u"a/b/Main", arguments));
}

// Shares of the base, the property that more memory never gives less and exact byte sizes
// are tests/fuzz/memory_rule_fuzz.cpp's; these rows are the bounds, the bases, which tokens
// change at all, and text that is not well formed.
TEST(MemoryRule, SizesFromTheMachinesMemory) {
    const MemoryStatus memory{uint64_t{8} << 30, uint64_t{2} << 30}; // 8 GiB physical, 2 GiB free
    const std::pair<const char16_t*, const char16_t*> cases[] = {
        {u"-Xmx50:256:1024P", u"-Xmx1048576K"},
        {u"-Xmx1:2048:1024P", u"-Xmx2097152K"}, // the minimum wins over the maximum
        {u"-Xms10p", u"-Xms838860K"},           // truncated, not rounded
        {u"-Xss50T", u"-Xss1048576K"},          // "T" is the free address space
        {u"-Xmx5x0:1y:2zt", u"-Xmx2048K"},      // stray characters are skipped
        {u"-Xmx25:1:2:3P", u"-Xmx2048K"},       // values after the third are ignored
        {u"-XmxP", u"-Xmx0K"},
        {u"-Xmx99999999999999999999999P", u"-Xmx18446744073709551615K"}, // saturates
        {u"-Xmx100:0:99999999999999999999P", u"-Xmx8388608K"},
        {u"-xmx50p", u"-xmx50p"}, // the option's case matters
        {u"-Xmn25P", u"-Xmn25P"},
    };
    for (const auto& [token, result] : cases)
        EXPECT_EQ(u16(applyMemoryRule(token, memory)), std::u16string(result));
    const std::pair<const char16_t*, uint64_t> sizes[] = {
        {u"1_0k", 10240}, // a stray character among the digits
        {u"12x", 12},     // an unknown unit counts bytes
        {u"k1", 0},       {u"1:2m", 0}, {u"", 0},
    };
    for (const auto& [text, bytes] : sizes)
        EXPECT_EQ(parseByteSize(text), bytes) << u16(WideString(text)).size();
}

TEST(ClassPathEntries, AbsoluteOrSearchedFromTheExecutablesFolder) {
    const PathConventions windows{u'\\', u';', platform::AbsolutePathForm::DriveOrUnc};
    const PathConventions linux{u'/', u':', platform::AbsolutePathForm::LeadingSeparator};
    const struct {
        const PathConventions& conventions;
        const char16_t* entry;
        bool takenAsWritten;
        const char16_t* pattern;
        const char16_t* prefix;
    } cases[] = {
        {windows, u"app.jar", false, u"C:\\appapp.jar", u"C:\\app"},
        {windows, u"D:\\libs\\*.jar", false, u"D:\\libs\\*.jar", u"D:\\libs\\"},
        {windows, u"D:*.jar", false, u"D:*.jar", u""},
        {linux, u"/usr/share/java/x.jar", true, u"/usr/share/java/x.jar", u"/usr/share/java/"},
        {linux, u"/usr/share/java/*", false, u"/usr/share/java/*", u"/usr/share/java/"},
        {linux, u"C:\\x.jar", false, u"/opt/app/C:\\x.jar", u"/opt/app/"},
    };
    for (const auto& c : cases) {
        const WideString folder = c.conventions.pathSeparator == u'/' ? u"/opt/app" : u"C:\\app";
        const ClassPathSearch search = classPathSearchFor(c.entry, folder, c.conventions);
        EXPECT_EQ(isWrittenAbsolute(c.entry, c.conventions), c.takenAsWritten);
        EXPECT_EQ(u16(search.pattern), std::u16string(c.pattern));
        EXPECT_EQ(u16(search.namePrefix), std::u16string(c.prefix));
    }
}

// Each setting is expanded once: a variable holding a list counts entry by entry (relative
// entries and "." from the executable's folder, a missing file left out), but a name a search
// found is never expanded again. The last -Xss sizes the main thread's stack. (Relative
// entries on Windows start with their own separator: the POSIX layer's form is shown here.)
TEST(BuildJvmOptions, ExpandsOnceAndTakesTheLastStackSize) {
    const test::TempFolder dir;
    dir.write("lib/a.jar", "");
    dir.write("lib/p%NOVIQ_GREETING%q.jar", "");
    const std::u16string folder = u16(wide(dir.path())) + u"/", lib = folder + u"lib/";
    const test::ScopedEnvironmentVariable greeting(u"NOVIQ_GREETING", u"hi");
    const test::ScopedEnvironmentVariable list(u"NOVIQ_CPX", wide(lib + u"a.jar:.:rel.jar"));
    JvmSettings settings;
    settings.classPath = onWindows() ? wide(lib + u"a.jar") : u".:%NOVIQ_CPX%:lib/p*";
    settings.vmParameters = u"-Xss1m -Dfrom.env=%NOVIQ_GREETING%x -Xss2m";
    const WideString exe = wide(folder + u"tool");
    const std::optional<JvmOptions> options = buildJvmOptions(settings, exe, "");
    ASSERT_TRUE(options);
    const Texts classPath = onWindows() ? Texts{lib + u"a.jar"}
                                        : Texts{folder + u".", lib + u"a.jar", folder + u".",
                                                lib + u"p%NOVIQ_GREETING%q.jar"};
    EXPECT_EQ(texts(options->classPath), classPath);
    EXPECT_STREQ(options->options[2].c_str(), "-Dfrom.env=hix");
    EXPECT_EQ(options->stackSize, uint64_t{2} << 20);

    settings.classPath = u"";
    settings.embeddedJar = true;
    EXPECT_EQ(texts(buildJvmOptions(settings, exe, "")->classPath), Texts{u16(exe)});
}

// A wildcard finds links too; one whose target is gone (a package's optional jar that is not
// installed) is no class path entry. Written entries are taken without looking.
TEST(ClassPathEntries, WildcardMatchesLeaveOutDanglingLinks) {
    if (onWindows())
        GTEST_SKIP() << "links are made with the POSIX layer's means";
    const test::TempFolder dir;
    dir.write("lib/a.jar", "");
    std::filesystem::create_symlink(dir.path() / "lib/a.jar", dir.path() / "lib/b.jar");
    std::filesystem::create_symlink(dir.path() / "gone.jar", dir.path() / "lib/c.jar");
    const std::u16string lib = u16(wide(dir.path())) + u"/lib/";
    EXPECT_EQ(u16(assembleClassPath(test::listOf({u"lib/*.jar"}), wide(dir.path()),
                                    PathConventions::current())),
              lib + u"a.jar:" + lib + u"b.jar:");
}

// The search path variable is shared by the whole test program: it is put back afterwards.
// The user's own option variables could load an agent into an elevated JVM: such a start
// removes them (none of them is the machine's value here); any other start keeps them.
TEST(PrepareEnvironment, LibraryPathOptionSearchPathAndOptionVariables) {
    const std::u16string folder = onWindows() ? u"C:\\app\\" : u"/opt/app/";
    const std::u16string library =
        onWindows() ? u"C:\\rt\\bin\\server\\jvm.dll" : u"/opt/rt/lib/server/libjvm.so";
    const std::u16string home = onWindows() ? u"C:\\rt" : u"/opt/rt";
    const std::u16string runtimeLib = home + platform::kPathSeparator + u"lib";
    const std::u16string runtimeBin = home + platform::kPathSeparator + u"bin";
    const std::u16string l(1, PathConventions::current().listSeparator);
    // Empty, "." and relative elements name the current folder: they never reach either
    // list; neither does an unset or empty PATH.
    const std::u16string old1 = onWindows() ? u"C:\\old1" : u"/old1";
    const std::u16string old2 = onWindows() ? u"\\\\srv\\old2" : u"/old2";
    const std::u16string old = old1 + l + l + u"." + l + u"rel" + l + old2;
    const std::u16string kept = old1 + l + old2;
    // Where the JVM's default would end with the current folder, the list is always given.
    const std::u16string byDefault =
        onWindows() ? u"-Djava.library.path=" + folder + l + kept + l + runtimeLib : u"";
    const char16_t* const variables[] = {u"JAVA_TOOL_OPTIONS", u"_JAVA_OPTIONS",
                                         u"JDK_JAVA_OPTIONS", u"JDK_AOT_VM_OPTIONS",
                                         u"_JDK_AOT_VM_OPTIONS"};
    const struct {
        std::u16string path, libraryPath, systemPath, option, searchPath;
        bool elevated = false;
    } cases[] = {
        {old, u"%NOVIQ_JVM_HOME%" + l + u"native" + l, u"tools",
         u"-Djava.library.path=" + home + l + folder + u"native" + l + folder + l + kept + l +
             runtimeLib,
         folder + u"tools" + l + kept + l + runtimeBin},
        {old, u"", u"tools" + l + u"." + l, byDefault,
         folder + u"tools" + l + kept + l + runtimeBin, true},
        {u"", u".", u"", u"-Djava.library.path=" + folder + l + runtimeLib, runtimeBin},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        const test::ScopedEnvironmentVariable path(platform::kSearchPathVariable, wide(c.path));
        std::vector<std::unique_ptr<test::ScopedEnvironmentVariable>> set;
        for (const char16_t* name : variables)
            set.push_back(std::make_unique<test::ScopedEnvironmentVariable>(name, u"-Dx=y"));
        const NarrowString option = prepareJvmEnvironment(
            wide(library), wide(c.libraryPath), wide(c.systemPath), wide(folder), c.elevated);
        EXPECT_EQ(u16(widen(option)), c.option);
        EXPECT_EQ(u16(*platform::environmentVariable(platform::kSearchPathVariable, 32767)),
                  c.searchPath);
        for (const char16_t* name : variables)
            EXPECT_EQ(platform::wholeEnvironmentVariable(name).has_value(), !c.elevated)
                << narrow(WideString(name)).c_str();
    }
    // A PATH longer than any fixed buffer is kept whole (Windows limits variables to 32767).
    if (!onWindows()) {
        const std::u16string longPath = old1 + std::u16string(40000, u'x');
        const test::ScopedEnvironmentVariable path(platform::kSearchPathVariable, wide(longPath));
        prepareJvmEnvironment(wide(library), u"", u"", wide(folder), false);
        EXPECT_EQ(u16(*platform::wholeEnvironmentVariable(platform::kSearchPathVariable)),
                  longPath + l + runtimeBin);
    }
}

TEST(DecodeModifiedUtf8, JavasOwnEncodingToUtf16) {
    const std::pair<const char*, std::u16string> cases[] = {
        {"caf\xC3\xA9 \xE6\x97\xA5", u"caf\u00E9 \u65E5"},
        {"\xC0\x80", std::u16string(1, u'\0')},
        {"\xED\xA0\xBD\xED\xB8\x80", u"\U0001F600"}, // a pair, each half on its own
        {"\xED\xA0\xBD", std::u16string(1, char16_t(0xD83D))},
        {"\xC3", u"\uFFFD"}, // cut short: nothing is read past the end
        {"\xFF\x61", u"\uFFFDa"},
    };
    for (const auto& [bytes, text] : cases)
        EXPECT_EQ(u16(decodeModifiedUtf8(bytes)), text) << bytes;
}

// A runtime with its default archives and an application of one jar, in a temporary folder.
struct Installation {
    test::TempFolder folder;
    ClassDataSharingInputs inputs;

    Installation() {
        folder.write("rt/lib/server/classes.jsa", "base");
        folder.write("rt/lib/server/classes_nocoops.jsa", "base");
        inputs.cacheFolder = wide(folder.path() / "cache");
        inputs.applicationPath = wide(folder.path() / "app" / "tool.exe");
        inputs.jvmLibraryPath = wide(folder.write("rt/lib/server/libjvm.so", "library"));
        inputs.runtimeHome = wide(folder.path() / "rt");
        inputs.runtimeVersion = JavaVersion(17, 0, 15, 0);
        inputs.classPath.add(wide(folder.write("app/a.jar", "jar")));
        inputs.jvmOptions.add(narrow(u"-Djava.class.path=" + inputs.classPath[0]));
        inputs.jvmOptions.add("-Xmx512m");
        inputs.jvmOptions.add("-XX:-UseCompressedOops"); // the runtime has that archive too
    }
};

// The file the last option names, after its "=".
WideString fileOf(const NarrowStringList& options) {
    const NarrowString& option = options[options.count() - 1];
    return widen(option.Mid(option.Find('=') + 1));
}

bool lastStartsWith(const NarrowStringList& options, const char* text) {
    return !options.isEmpty() && options[options.count() - 1].startsWith(text);
}

void writeFile(const WideString& file, const std::string& bytes,
               std::ios::openmode mode = std::ios::trunc) {
    std::ofstream(std::filesystem::path(u16(file)), std::ios::binary | mode) << bytes;
}

TEST(ClassDataSharing, GoesWithoutWhereADumpCouldFail) {
    const struct {
        const char* name;
        std::function<void(Installation&)> change;
    } cases[] = {
        {"Java 8", [](Installation& i) { i.inputs.runtimeVersion = JavaVersion(1, 8, 0, 392); }},
        {"Java 12", [](Installation& i) { i.inputs.runtimeVersion = JavaVersion(12, 0, 2, 0); }},
        {"no release version", [](Installation& i) { i.inputs.runtimeVersion = JavaVersion(); }},
        {"no default archive for one encoding",
         [](Installation& i) {
             std::filesystem::remove(i.folder.path() / "rt/lib/server/classes_nocoops.jsa");
         }},
        {"class folder",
         [](Installation& i) { i.inputs.classPath.add(wide(i.folder.path() / "app")); }},
        {"missing entry",
         [](Installation& i) { i.inputs.classPath.add(wide(i.folder.path() / "gone.jar")); }},
        {"no cache folder", [](Installation& i) { i.inputs.cacheFolder = WideString(); }},
        {"relative cache folder", [](Installation& i) { i.inputs.cacheFolder = u"cache"; }},
    };
    const auto options = [](const Installation& i) { return ClassDataSharing().prepare(i.inputs); };
    ASSERT_EQ(options(Installation()).count(), 2); // as it is, it dumps
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Installation installation;
        c.change(installation);
        EXPECT_TRUE(options(installation).isEmpty());
    }
    // Options of the application's own that decide on sharing or on what an archive holds,
    // whether written in the settings or in the variables the JVM reads.
    for (const char* option :
         {"-Xshare:off", "-XX:SharedArchiveFile=x.jsa", "-XX:+AutoCreateSharedArchive",
          "-XX:ArchiveClassesAtExit=y.jsa", "-XX:AOTCache=app.aot",
          "-XX:-UseCompressedClassPointers", "-XX:+UseCompactObjectHeaders", "-Xlog:cds=info",
          "-Xbootclasspath/a:extra", "-Djava.class.path=other.jar", "-Djdk.module.path=mods",
          "-XX:Flags=flags.txt"}) {
        SCOPED_TRACE(option);
        for (bool inVariable : {false, true}) {
            Installation installation;
            if (inVariable)
                installation.inputs.environmentOptions.add(NarrowString("-Xmx1g  ") + option);
            else
                installation.inputs.jvmOptions.add(option);
            EXPECT_TRUE(options(installation).isEmpty());
        }
    }
}

TEST(ClassDataSharing, OnlyACompletedDumpIsHandedToTheJvm) {
    Installation installation;
    ClassDataSharing sharing;
    const auto prepare = [&] { return sharing.prepare(installation.inputs); };
    const auto expectDump = [&](const NarrowStringList& options) {
        EXPECT_EQ(options.count(), 2);
        EXPECT_TRUE(options[0] == "-Xlog:cds*=off");
        EXPECT_TRUE(lastStartsWith(options, "-XX:ArchiveClassesAtExit="));
        return fileOf(options);
    };
    const auto expectUse = [&] {
        EXPECT_TRUE(lastStartsWith(prepare(), "-XX:SharedArchiveFile="));
    };
    const std::string magic = "\xa8\xab\x0b\xf0";

    // A dump the JVM did not finish has no header: it is removed, and the next start dumps.
    WideString dumpTo = expectDump(prepare());
    EXPECT_TRUE(platform::regularFileStamp(dumpTo)); // created before the JVM is asked
    writeFile(dumpTo, std::string(4096, '\0'));
    sharing.jvmEnded();
    EXPECT_FALSE(platform::regularFileStamp(dumpTo));
    // One the end of the process cut off goes however it begins.
    dumpTo = expectDump(prepare());
    writeFile(dumpTo, magic + "cut");
    sharing.jvmCutOff();
    EXPECT_FALSE(platform::regularFileStamp(dumpTo));
    dumpTo = expectDump(prepare());

    // A complete one becomes the archive, which the next start uses.
    writeFile(dumpTo, magic + "regions");
    sharing.jvmEnded();
    const NarrowStringList use = prepare();
    ASSERT_EQ(use.count(), 2);
    ASSERT_TRUE(lastStartsWith(use, "-XX:SharedArchiveFile="));
    const WideString archive = fileOf(use);
    EXPECT_EQ(std::string(platform::readFileStart(archive, 4).c_str()), magic);
    sharing.jvmEnded(); // a start that used the archive leaves it as it is
    expectUse();

    // An archive changed after its completion is never handed over.
    writeFile(archive, "more", std::ios::app);
    dumpTo = expectDump(prepare());
    writeFile(dumpTo, magic + "new");
    sharing.jvmEnded();
    expectUse();

    // Another class path: a new archive, and the application's earlier one goes.
    installation.inputs.classPath.add(wide(installation.folder.write("app/b.jar", "jar")));
    installation.inputs.jvmOptions = NarrowStringList();
    installation.inputs.jvmOptions.add(
        narrow(u"-Djava.class.path=" + installation.inputs.classPath[0] +
               WideString(&platform::kListSeparator, 1) + installation.inputs.classPath[1]));
    const WideString other = expectDump(prepare());
    writeFile(other, magic + "b");
    sharing.jvmEnded();
    EXPECT_FALSE(fileOf(prepare()) == archive);
    const std::filesystem::directory_iterator files(
        std::filesystem::path(u16(archive)).parent_path());
    EXPECT_EQ(std::distance(begin(files), end(files)), 2); // the archive and its record
}

// An elevated start takes no folder that someone else made first below the machine-wide
// root (ProgramData lets any user make folders, and own them). Wine keeps no descriptor it
// is given for a file (it derives owner and DACL from the Unix owner and mode), so the
// launcher's own folders, trusted on Windows, cannot be shown here. Linux root's folders are
// shown by the scenario tests.
TEST(ClassDataSharing, ElevatedStartsTakeNoFolderSomeoneElseMade) {
    if (!onWindows())
        GTEST_SKIP() << "Linux: root's archive folders are shown by the scenario tests";
    Installation installation;
    installation.inputs.elevated = true;
    std::filesystem::create_directories(installation.folder.path() / "cache/noviq/cds");
    ClassDataSharing sharing;
    EXPECT_TRUE(sharing.prepare(installation.inputs).isEmpty());
}

} // namespace
} // namespace noviq
