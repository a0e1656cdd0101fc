// "Class Data Sharing=auto" with the real JDKs: a start dumps the archive, later starts use
// it, no fault of the archive or its folder changes what the application prints or how it
// ends, and nothing someone else could have written is used (root keeps its archives in
// /var/cache/noviq/cds). JDK 17 always; Temurin 25 as well where this machine has it. When
// the tests run as root, the per-user starts run as uid 65534 (a root start is elevated).
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <set>
#include <signal.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "harness.h"

namespace fs = std::filesystem;

namespace noviq::test {
namespace {

// The runtime that takes the dynamic archive; from Java 24 on the ahead-of-time cache is
// used instead (tested below on Temurin 25 where this machine has it).
const std::string kJdk17 = "/usr/lib/jvm/java-17-openjdk-amd64";
const std::string kTemurin25 = "/usr/lib/jvm/temurin-25-jdk-amd64";

// <dir>/app/tool with apps.jar, the cache in <dir>/cache, the trace in <dir>/trace.txt.
class CdsApplication {
public:
    CdsApplication(const std::string& jdk, const std::string& mainClass)
        : jdk_(jdk), mainClass_(mainClass) {
        tool_ = dir_.copy(launcherBinary(Build::Linux), "app/tool");
        dir_.copy(fs::path(NOVIQ_LINUX_BUILD_DIR) / "tests/java/apps.jar", "app/apps.jar");
        fs::create_directory(dir_.path() / "cache");
        dir_.giveToUnprivilegedUser();
    }

    void configure(bool sharing) const {
        dir_.write("app/tool.ini", "[Java Runtime Environment]\nJRE Path=" + jdk_ +
                                       "\nMain Class=" + mainClass_ + "\n" +
                                       (sharing ? "Class Data Sharing=auto\n" : "") +
                                       "[Class Path]\nClass Path=apps.jar\n");
    }
    // A run with the key on or off. `env` adds to, or replaces, the cache folder variable.
    // A run as root is elevated; the others run as uid 65534 when the tests run as root.
    RunResult run(bool sharing, std::vector<std::pair<std::string, std::string>> env = {},
                  bool asRoot = false, const std::function<void(int)>& started = {}) const {
        configure(sharing);
        return runAsConfigured(env, asRoot, started);
    }
    RunResult runAsConfigured(std::vector<std::pair<std::string, std::string>> env = {},
                              bool asRoot = false,
                              const std::function<void(int)>& started = {}) const {
        fs::remove(tracePath());
        RunOptions options;
        options.env = {{"XDG_CACHE_HOME", (dir_.path() / "cache").string()},
                       {"NOVIQ_TRACE", tracePath().string()}};
        options.env.insert(options.env.end(), env.begin(), env.end());
        options.started = started;
        options.workingDirectory = tool_.parent_path();
        if (geteuid() == 0 && !asRoot) {
            options.args = {"--reuid=65534", "--regid=65534", "--clear-groups", "--",
                            tool_.string()};
            return test::run(Build::Linux, "/usr/bin/setpriv", options);
        }
        return test::run(Build::Linux, tool_, options);
    }

    fs::path tracePath() const { return dir_.path() / "trace.txt"; }
    std::string trace() const { return readFile(tracePath()); }
    const ScenarioDir& dir() const { return dir_; }
    fs::path archiveFolder() const { return dir_.path() / "cache/noviq/cds"; }
    // The files in the archive folder whose names end with `extension`.
    std::vector<fs::path> files(const std::string& extension) const {
        std::vector<fs::path> found;
        if (fs::exists(archiveFolder()))
            for (const fs::directory_entry& entry : fs::directory_iterator(archiveFolder()))
                if (entry.path().string().ends_with(extension))
                    found.push_back(entry.path());
        return found;
    }
    // One archive with its record, nothing left over.
    void expectOneCompletedArchive() const {
        EXPECT_EQ(files(".jsa").size(), 1u);
        EXPECT_EQ(files(".done").size(), 1u);
        EXPECT_EQ(files(".tmp").size(), 0u);
    }

private:
    ScenarioDir dir_;
    std::string jdk_;
    std::string mainClass_;
    fs::path tool_;
};

// How the application runs without the key: asked once per runtime and main class.
RunResult withoutSharing(const std::string& jdk, const std::string& mainClass) {
    static std::map<std::string, RunResult> runs;
    if (!runs.contains(jdk + mainClass))
        runs[jdk + mainClass] = CdsApplication(jdk, mainClass).run(false);
    return runs[jdk + mainClass];
}

void expectSameRun(const RunResult& with, const RunResult& without) {
    EXPECT_EQ(with.out, without.out);
    EXPECT_EQ(with.err, without.err);
    EXPECT_EQ(with.exitCode, without.exitCode);
}

const char kDumps[] = "the JVM dumps one to";
const char kCompleted[] = ".jsa completed";
const char kUses[] = "class data sharing: uses";

// A run that returns from main, and one that ends with System.exit, whose dump is completed
// from the exit hook (one that ends with an exception dumps in every case below).
TEST(CdsLinux, FirstStartDumpsLaterStartsUseTheArchive) {
    for (const char* mainClass : {"noviq.apps.Exits", "noviq.apps.Hello"}) {
        SCOPED_TRACE(mainClass);
        CdsApplication app(kJdk17, mainClass);
        const RunResult without = withoutSharing(kJdk17, mainClass);
        expectSameRun(app.run(true), without);
        EXPECT_EQ(countOf(app.trace(), kDumps), 1u) << app.trace();
        EXPECT_EQ(countOf(app.trace(), kCompleted), 1u) << app.trace();
        expectSameRun(app.run(true), without);
        EXPECT_EQ(countOf(app.trace(), kUses), 1u) << app.trace();
        app.expectOneCompletedArchive();
        if (std::string(mainClass) != "noviq.apps.Hello")
            continue;
        // The JVM itself takes the archive for the application's classes.
        ASSERT_EQ(app.files(".jsa").size(), 1u);
        RunOptions check;
        check.args = {"-Xshare:on",
                      "-XX:SharedArchiveFile=" + app.files(".jsa")[0].string(),
                      "-Xlog:class+load",
                      "-cp",
                      (app.dir().path() / "app/apps.jar").string(),
                      "noviq.apps.Hello"};
        const RunResult loaded = test::run(Build::Linux, kJdk17 + "/bin/java", check);
        EXPECT_EQ(countOf(loaded.out, "noviq.apps.Hello source: shared objects file (top)"), 1u)
            << loaded.out << loaded.err;
    }
}

TEST(CdsLinux, ArchiveFaultsLeaveTheRunAsWithoutTheKey) {
    using Prepare = std::function<void(const CdsApplication&)>;
    const auto afterADump = [](const Prepare& damage) {
        return [damage](const CdsApplication& app) {
            app.run(true);
            ASSERT_EQ(app.files(".done").size(), 1u) << app.trace();
            damage(app);
        };
    };
    const struct {
        const char* name;
        Prepare prepare;
        std::string traced; // what the trace must say about the faulty start
        bool dumps = true;  // the faulty start dumps a new archive, which the next one uses
    } cases[] = {
        // JDK 17 dies with SIGBUS on a truncated archive.
        {"truncated archive", afterADump([](const CdsApplication& app) {
             const fs::path archive = app.files(".jsa")[0];
             fs::permissions(archive, fs::perms::owner_write, fs::perm_options::add);
             fs::resize_file(archive, fs::file_size(archive) / 2);
         }),
         kDumps},
        // The application changed: a new archive, and the old one goes.
        {"stale archive", afterADump([](const CdsApplication& app) {
             const fs::path jar = app.dir().path() / "app/apps.jar";
             fs::last_write_time(jar, fs::last_write_time(jar) + std::chrono::hours(1));
         }),
         kDumps},
        // Without the check the JVM would end with 1 after main.
        {"unwritable cache folder",
         [](const CdsApplication& app) {
             fs::create_directories(app.archiveFolder());
             app.dir().giveToUnprivilegedUser();
             fs::permissions(app.archiveFolder(), fs::perms::owner_read | fs::perms::owner_exec);
         },
         "cannot be created", false},
        // Without XDG_CACHE_HOME the cache is the home's.
        {"read-only home",
         [](const CdsApplication& app) {
             fs::create_directory(app.dir().path() / "home");
             app.dir().giveToUnprivilegedUser();
             fs::permissions(app.dir().path() / "home",
                             fs::perms::owner_read | fs::perms::owner_exec);
         },
         "cannot be created", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CdsApplication app(kJdk17, "noviq.apps.Throws");
        std::vector<std::pair<std::string, std::string>> env;
        if (std::string(c.name) == "read-only home")
            env = {{"XDG_CACHE_HOME", ""}, {"HOME", (app.dir().path() / "home").string()}};
        const RunResult without = withoutSharing(kJdk17, "noviq.apps.Throws");
        c.prepare(app);
        const std::vector<fs::path> before = app.files(".jsa");
        expectSameRun(app.run(true, env), without);
        EXPECT_EQ(countOf(app.trace(), c.traced), 1u) << app.trace();
        EXPECT_EQ(countOf(app.trace(), kUses), 0u) << app.trace();
        if (c.dumps) {
            app.expectOneCompletedArchive();
            if (std::string(c.name) == "stale archive") {
                EXPECT_NE(app.files(".jsa"), before);
            }
            expectSameRun(app.run(true), without);
            EXPECT_EQ(countOf(app.trace(), kUses), 1u) << app.trace();
        }
    }
}

TEST(CdsLinux, TwoStartsAtOnce) {
    CdsApplication app(kJdk17, "noviq.apps.Hello");
    const RunResult without = withoutSharing(kJdk17, "noviq.apps.Hello");
    app.configure(true);
    RunResult first, second;
    std::thread other([&] { first = app.runAsConfigured(); });
    second = app.runAsConfigured();
    other.join();
    expectSameRun(first, without);
    expectSameRun(second, without);
    // Both dumped; whichever record stands matches its archive or is not used.
    expectSameRun(app.run(true), without);
    if (countOf(app.trace(), kUses) == 0)
        expectSameRun(app.run(true), without);
    EXPECT_EQ(countOf(app.trace(), kUses), 1u) << app.trace();
    app.expectOneCompletedArchive();
}

TEST(CdsLinux, StartKilledDuringTheDump) {
    CdsApplication app(kJdk17, "noviq.apps.Hello");
    const RunResult without = withoutSharing(kJdk17, "noviq.apps.Hello");
    // Killed as soon as main has returned: the JVM is then dumping. A dump that was
    // still faster is tried again.
    bool killedDuringDump = false;
    for (int attempt = 0; attempt < 5 && !killedDuringDump; ++attempt) {
        std::thread killer;
        const RunResult killed = app.run(true, {}, false, [&](int pid) {
            killer = std::thread([&app, pid] {
                const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
                while (readFile(app.tracePath()).find("main: returned") == std::string::npos &&
                       std::chrono::steady_clock::now() < deadline)
                    std::this_thread::sleep_for(std::chrono::microseconds(500));
                kill(-pid, SIGKILL);
            });
        });
        killer.join();
        killedDuringDump = killed.exitCode == 128 + SIGKILL && app.files(".done").empty();
        if (!killedDuringDump)
            fs::remove_all(app.archiveFolder());
    }
    ASSERT_TRUE(killedDuringDump);
    EXPECT_EQ(app.files(".tmp").size(), 1u);

    expectSameRun(app.run(true), without);
    EXPECT_EQ(countOf(app.trace(), kDumps), 1u) << app.trace();
    app.expectOneCompletedArchive(); // the unfinished dump is gone too
    expectSameRun(app.run(true), without);
    EXPECT_EQ(countOf(app.trace(), kUses), 1u) << app.trace();
}

// What someone else could have written: a start goes without, or dumps a new archive over a
// file it does not take, and the run is as without the key. Another uid needs root to plant.
TEST(CdsLinux, NothingSomeoneElseCouldWriteIsUsed) {
    using Change = std::function<void(const CdsApplication&)>;
    const auto chmodAdd = [](const std::string& relative, fs::perms perms) -> Change {
        return [=](const CdsApplication& app) {
            const fs::path target =
                relative.empty() ? app.files(".jsa")[0] : app.dir().path() / "cache" / relative;
            fs::permissions(target, perms, fs::perm_options::add);
        };
    };
    const auto chown = [](const std::string& relative) -> Change {
        return [=](const CdsApplication& app) {
            const fs::path target =
                relative.empty() ? app.files(".done")[0] : app.dir().path() / "cache" / relative;
            ASSERT_EQ(lchown(target.c_str(), 12345, 12345), 0);
            // Readable, as another user would leave it for the start to take.
            fs::permissions(target,
                            fs::is_directory(target)
                                ? fs::perms::others_read | fs::perms::others_exec
                                : fs::perms::others_read,
                            fs::perm_options::add);
        };
    };
    const struct {
        const char* name;
        bool needsRoot;
        Change change;
        std::string traced;
        bool dumps; // the archive alone is not taken: a new dump replaces it
    } cases[] = {
        {"group-writable cache root", false, chmodAdd(".", fs::perms::group_write),
         "/cache can be written by its group or others", false},
        {"world-writable archive folder", false, chmodAdd("noviq/cds", fs::perms::others_write),
         "/cache/noviq/cds can be written by its group or others", false},
        {"world-writable archive", false, chmodAdd("", fs::perms::others_write),
         ".jsa can be written by its group or others", true},
        {"archive folder replaced by a link", false,
         [](const CdsApplication& app) {
             fs::rename(app.archiveFolder(), app.dir().path() / "cache/elsewhere");
             fs::create_directory_symlink("../elsewhere", app.archiveFolder());
         },
         "/cache/noviq/cds is a link", false},
        {"folder of another uid", true, chown("noviq"), "/cache/noviq belongs to uid 12345", false},
        {"record of another uid", true, chown(""), ".done belongs to uid 12345", true},
    };
    std::string skipped;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsRoot && geteuid() != 0) {
            skipped += std::string(skipped.empty() ? "" : ", ") + c.name;
            continue;
        }
        CdsApplication app(kJdk17, "noviq.apps.Hello");
        const RunResult without = withoutSharing(kJdk17, "noviq.apps.Hello");
        app.run(true);
        ASSERT_EQ(app.files(".done").size(), 1u) << app.trace();
        c.change(app);
        expectSameRun(app.run(true), without);
        EXPECT_EQ(countOf(app.trace(), c.traced), 1u) << app.trace();
        EXPECT_EQ(countOf(app.trace(), kUses), 0u) << app.trace();
        EXPECT_EQ(countOf(app.trace(), kDumps), c.dumps ? 1u : 0u) << app.trace();
    }
    if (!skipped.empty())
        GTEST_SKIP() << "the other rows passed; planting another uid's file needs root: "
                     << skipped;
}

// The files of /var/cache/noviq/cds that a test made go when it ends; what was there stays.
class MachineCacheCleanup {
public:
    MachineCacheCleanup() : before_(list()) {}
    ~MachineCacheCleanup() {
        for (const fs::path& file : list())
            if (!before_.contains(file))
                fs::remove(file);
    }

private:
    static std::set<fs::path> list() {
        std::set<fs::path> files;
        std::error_code error;
        for (fs::directory_iterator it(kMachineFolder, error), end; !error && it != end;
             it.increment(error))
            files.insert(it->path());
        return files;
    }
    static constexpr const char* kMachineFolder = "/var/cache/noviq/cds";
    std::set<fs::path> before_;
};

// Root does not take the user's archive (dumped by that user from the same jar) from the
// cache its environment names, and keeps its own in the folder only root can write.
TEST(CdsLinux, RootKeepsItsArchivesWhereOnlyRootCanWrite) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root: a root start beside another user's archive";
    const MachineCacheCleanup cleanup;
    CdsApplication app(kJdk17, "noviq.apps.Hello");
    const RunResult without = withoutSharing(kJdk17, "noviq.apps.Hello");
    app.run(true);
    app.run(true);
    ASSERT_EQ(countOf(app.trace(), kUses), 1u) << app.trace(); // the user's start takes it
    // Root's trace goes to standard error: an elevated start need not write a user's file.
    const auto runAsRoot = [&] {
        const RunResult result = app.run(true, {{"NOVIQ_TRACE", "1"}}, true);
        EXPECT_EQ(result.out, without.out);
        EXPECT_EQ(result.exitCode, without.exitCode);
        return result.err;
    };
    const std::string machineFolder = "/var/cache/noviq/cds/";
    std::string trace = runAsRoot();
    EXPECT_EQ(countOf(trace, kUses), 0u) << trace;
    EXPECT_EQ(countOf(trace, std::string(kDumps) + " " + machineFolder), 1u) << trace;
    trace = runAsRoot();
    EXPECT_EQ(countOf(trace, std::string(kUses) + " " + machineFolder), 1u) << trace;
    struct stat folder {};
    ASSERT_EQ(lstat(machineFolder.c_str(), &folder), 0);
    EXPECT_EQ(folder.st_uid, 0u);
    EXPECT_EQ(folder.st_mode & 0777, 0700u);
}

// The ahead-of-time cache: the recording start looks like a start without the key, the cache
// is made in the background and used by later starts, and a cache that no longer matches the
// jars it was made from (the JVM would run the old classes) or was cut short is never used.
TEST(CdsLinux, AheadOfTimeCacheOnTodaysRuntimes) {
    {
        // The creation's variable, set by anyone, names a file that is no job: left alone.
        CdsApplication app(kJdk17, "noviq.apps.Hello");
        app.dir().write("precious", "kept");
        const fs::path precious = app.dir().path() / "precious";
        EXPECT_EQ(app.run(true, {{"NOVIQ_AOT_JOB", precious.string()}}, true).exitCode, 255u);
        EXPECT_EQ(readFile(precious), "kept");
    }
    if (!fs::exists(kTemurin25 + "/lib/server/libjvm.so"))
        GTEST_SKIP() << "needs Temurin 25";
    CdsApplication app(kTemurin25, "noviq.apps.Hello");
    // The background creation takes a few seconds; it is over once its job file is gone.
    const auto cacheMade = [&] {
        for (int i = 0; i < 600 && !app.files(".job").empty(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return app.files(".aot").size() == 1 && app.files(".done").size() == 1;
    };
    const RunResult without = app.run(false);
    expectSameRun(app.run(true), without);
    EXPECT_EQ(countOf(app.trace(), "the JVM records the configuration"), 1u) << app.trace();
    ASSERT_TRUE(cacheMade());
    expectSameRun(app.run(true), without);
    EXPECT_EQ(countOf(app.trace(), "uses the ahead-of-time cache"), 1u) << app.trace();

    // The jar replaced at the same path by one without the main class: the start must fail
    // as it fails without the key, not run the cached class.
    const fs::path jar = app.dir().path() / "app/apps.jar";
    RunOptions pack;
    pack.args = {"--create",
                 "--file",
                 jar.string(),
                 "-C",
                 (fs::path(NOVIQ_LINUX_BUILD_DIR) / "tests/java/classes").string(),
                 "noviq/apps/Exits.class"};
    ASSERT_EQ(test::run(Build::Linux, kTemurin25 + "/bin/jar", pack).exitCode, 0u);
    const RunResult replacedWithout = app.run(false);
    EXPECT_NE(replacedWithout.exitCode, 0u);
    expectSameRun(app.run(true), replacedWithout);
    EXPECT_EQ(countOf(app.trace(), "uses the ahead-of-time cache"), 0u) << app.trace();
    cacheMade();

    // A cache cut short (its record no longer matches) is not used, and is made again.
    app.dir().copy(fs::path(NOVIQ_LINUX_BUILD_DIR) / "tests/java/apps.jar", "app/apps.jar");
    app.run(true);
    ASSERT_TRUE(cacheMade());
    const fs::path cache = app.files(".aot")[0];
    fs::permissions(cache, fs::perms::owner_write, fs::perm_options::add);
    fs::resize_file(cache, fs::file_size(cache) / 2);
    expectSameRun(app.run(true), without);
    EXPECT_EQ(countOf(app.trace(), "its record does not match"), 1u) << app.trace();
}

} // namespace
} // namespace noviq::test
