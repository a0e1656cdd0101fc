// What a root start of the Linux launcher does not take from the user's own files and
// environment, which another user (here uid 65534, through setpriv) can write: the same start
// made by that user still takes them.
#include <gtest/gtest.h>

#include <unistd.h>

#include "harness.h"

namespace fs = std::filesystem;

namespace noviq::test {
namespace {

const std::string kJdk = "/usr/lib/jvm/java-17-openjdk-amd64";

TEST(ElevationLinux, RootTakesNothingAUserCanWrite) {
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root: a root start and the same start by another user";
    const struct {
        const char* name;
        std::string settings; // of the runtime section, after the main class
        std::vector<std::pair<std::string, std::string>> env;
        std::string root;  // a part of the root start's output
        std::string taken; // shows in the output of a start that took the user's input
    } cases[] = {
        // The JVM names each variable it takes options from on standard error.
        {"the JVM's option variables",
         "JRE Path=" + kJdk,
         {{"JAVA_TOOL_OPTIONS", "-Dplanted=1"}, {"_JAVA_OPTIONS", "-Dplanted=2"}},
         "Hello\n",
         "Picked up _JAVA_OPTIONS: -Dplanted=2"},
        {"the java command's option variable",
         "JRE Path=" + kJdk,
         {{"JDK_JAVA_OPTIONS", "-Dplanted=3"}},
         "Hello\n",
         "NOTE: Picked up JDK_JAVA_OPTIONS: -Dplanted=3"},
        {"$JAVA_HOME",
         "Modern Runtimes=yes\nMinimum Version=any\nMaximum Version=any",
         {{"JAVA_HOME", "%DIR%/home"}, {"NOVIQ_JVM_ROOT", "%DIR%/none"}},
         "The Java Runtime Environment (JRE) was not found",
         "%DIR%/home/lib/server/libjvm.so"},
        {"the per-user file",
         "JRE Path=" + kJdk,
         {{"XDG_CONFIG_HOME", "%DIR%/config"}},
         "Hello\n",
         "%DIR%/home/lib/server/libjvm.so"},
    };
    for (const auto& c : cases) {
        for (const bool asRoot : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (asRoot ? ", root" : ", another user"));
            ScenarioDir dir;
            const fs::path exe = dir.copy(launcherBinary(Build::Linux), "app/app");
            dir.copy(fs::path(NOVIQ_LINUX_BUILD_DIR) / "tests/java/apps.jar", "app/apps.jar");
            dir.write("home/lib/libjava.so", "");
            dir.write("home/lib/server/libjvm.so", "planted");
            fs::create_directories(dir.path() / "none");
            dir.write("config/Acme/1/app.ini", "[Java Runtime Environment]\nJRE Path=" +
                                                   (dir.path() / "home").string() + "\n");
            dir.write("app/app.ini", "[Java Runtime Environment]\nMain Class=noviq.apps.Hello\n" +
                                         c.settings +
                                         "\n[Class Path]\nClass Path=apps.jar\n"
                                         "[Product Information]\nProduct Name=Acme\n"
                                         "Product Code=1\n");
            RunOptions options;
            for (const auto& [name, value] : c.env)
                options.env.emplace_back(name, replaceAll(value, "%DIR%", dir.path().string()));
            fs::path program = exe;
            if (!asRoot) {
                dir.giveToUnprivilegedUser();
                options.args = {"--reuid=65534", "--regid=65534", "--clear-groups", "--",
                                exe.string()};
                program = "/usr/bin/setpriv";
            }
            options.workingDirectory = exe.parent_path();
            const RunResult result = run(Build::Linux, program, options);
            const std::string output = result.out + result.err;
            EXPECT_EQ(output.find(replaceAll(c.taken, "%DIR%", dir.path().string())) !=
                          std::string::npos,
                      !asRoot)
                << output;
            if (asRoot) {
                EXPECT_NE(output.find(c.root), std::string::npos) << output;
            }
        }
    }
}

} // namespace
} // namespace noviq::test
