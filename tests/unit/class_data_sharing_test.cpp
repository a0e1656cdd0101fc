// Class data sharing decisions on both platform layers: the starts that go without because
// a dump could fail, and the rule that only a dump seen complete is ever handed to the JVM.
#include <gtest/gtest.h>

#include <functional>

#include "jvm/class_data_sharing.h"
#include "platform/files.h"
#include "platform/path_style.h"
#include "platform/runtime_folders.h"
#include "test_support.h"

namespace noviq {
namespace {

using test::wide;

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
    std::ofstream(std::filesystem::path(test::u16(file)), std::ios::binary | mode) << bytes;
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
    {
        Installation installation; // as it is, it dumps
        ClassDataSharing sharing;
        ASSERT_EQ(sharing.prepare(installation.inputs).count(), 2);
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Installation installation;
        c.change(installation);
        ClassDataSharing sharing;
        EXPECT_TRUE(sharing.prepare(installation.inputs).isEmpty());
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
            ClassDataSharing sharing;
            EXPECT_TRUE(sharing.prepare(installation.inputs).isEmpty());
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
        std::filesystem::path(test::u16(archive)).parent_path());
    EXPECT_EQ(std::distance(begin(files), end(files)), 2); // the archive and its record
}

// An elevated start takes no folder that someone else made first below the machine-wide
// root (ProgramData lets any user make folders, and own them). Wine keeps no descriptor it
// is given for a file (it derives owner and DACL from the Unix owner and mode), so the
// launcher's own folders, trusted on Windows, cannot be shown here. Linux root's folders are
// shown by the scenario tests.
TEST(ClassDataSharing, ElevatedStartsTakeNoFolderSomeoneElseMade) {
    if (platform::kPathSeparator == u'/')
        GTEST_SKIP() << "Linux: root's archive folders are shown by the scenario tests";
    Installation installation;
    installation.inputs.elevated = true;
    std::filesystem::create_directories(installation.folder.path() / "cache/noviq/cds");
    ClassDataSharing sharing;
    EXPECT_TRUE(sharing.prepare(installation.inputs).isEmpty());
}

} // namespace
} // namespace noviq
