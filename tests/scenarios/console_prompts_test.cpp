// The Linux launcher's questions on a terminal: a runtime folder when none was found, and
// whether to stop after an uncaught exception. Driven through a pseudo-terminal.
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>

#include "harness.h"

namespace fs = std::filesystem;

namespace noviq::test {
namespace {

const std::string kJdk = "/usr/lib/jvm/java-17-openjdk-amd64";

// The launcher on a pseudo-terminal: answers are typed once the prompt that precedes them
// has appeared.
struct TerminalRun {
    std::string screen;
    int exitCode = -1;
};

TerminalRun runOnTerminal(const fs::path& exe,
                          const std::vector<std::pair<std::string, std::string>>& dialogue,
                          const std::vector<std::string>& env) {
    int terminal = -1;
    const pid_t pid = forkpty(&terminal, nullptr, nullptr, nullptr);
    if (pid == 0) {
        for (const std::string& variable : env)
            putenv(const_cast<char*>(variable.c_str()));
        chdir(exe.parent_path().c_str());
        execl(exe.c_str(), exe.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    TerminalRun run;
    size_t answered = 0, unread = 0; // each prompt is looked for after the last answer
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (;;) {
        if (answered < dialogue.size() &&
            run.screen.find(dialogue[answered].first, unread) != std::string::npos) {
            const std::string line = dialogue[answered].second + "\n";
            write(terminal, line.data(), line.size());
            ++answered;
            unread = run.screen.size();
        }
        pollfd fd{terminal, POLLIN, 0};
        if (std::chrono::steady_clock::now() > deadline || poll(&fd, 1, 100) < 0)
            break;
        char buffer[4096];
        const ssize_t n =
            (fd.revents & (POLLIN | POLLHUP)) ? read(terminal, buffer, sizeof buffer) : 0;
        if (n > 0)
            run.screen.append(buffer, static_cast<size_t>(n));
        else if (fd.revents & POLLHUP || n < 0)
            break;
    }
    close(terminal);
    int status = 0;
    waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    // The terminal turns "\n" into "\r\n" and echoes what was typed.
    run.screen = replaceAll(run.screen, "\r\n", "\n");
    return run;
}

TEST(ConsolePromptsLinux, RuntimeFolderAndExceptionQuestions) {
    ScenarioDir dir;
    const fs::path tool = dir.copy(launcherBinary(Build::Linux), "tool");
    dir.copy(fs::path(NOVIQ_LINUX_BUILD_DIR) / "tests/java/apps.jar", "apps.jar");
    fs::create_directories(dir.path() / "none");
    const std::vector<std::string> env = {"NOVIQ_JVM_ROOT=" + (dir.path() / "none").string(),
                                          "XDG_CONFIG_HOME=" + (dir.path() / "config").string()};
    const std::string prompt = "Java runtime folder (an empty line cancels): ";
    // Root's store is the machine's: a name of this process's own keeps runs apart.
    const std::string product = "Noviq Prompt Test " + std::to_string(getpid());
    const fs::path rootsStore = "/var/lib/noviq/" + product;
    std::error_code ignored;
    fs::remove_all(rootsStore, ignored);
    const auto settings = [&](const std::string& mainClass, const std::string& more) {
        dir.write(
            "tool.ini",
            "[Java Runtime Environment]\nMain Class=" + mainClass +
                "\nMinimum Version=11\nMaximum Version=any\n[Class Path]\nClass Path=apps.jar\n"
                "[Product Information]\nProduct Name=" +
                product + "\nProduct Code=1\n" + more);
    };

    // An empty line cancels.
    settings("noviq.apps.Hello", "");
    const TerminalRun cancelled = runOnTerminal(tool, {{prompt, ""}}, env);
    EXPECT_NE(
        cancelled.screen.find("The Java Runtime Environment (JRE) was not found. Please  download "
                              "and install a JRE (minimum version 11.0) from: https://java.com/\n"),
        std::string::npos)
        << cancelled.screen;
    EXPECT_EQ(cancelled.exitCode, 255);

    // A folder without a library asks again; a runtime's folder is taken and remembered.
    const TerminalRun chosen =
        runOnTerminal(tool, {{prompt, (dir.path() / "none").string()}, {"cancels): ", kJdk}}, env);
    EXPECT_NE(chosen.screen.find("No Java VM library of the required kind was found in " +
                                 (dir.path() / "none").string() + ".\n"),
              std::string::npos)
        << chosen.screen;
    EXPECT_NE(chosen.screen.find("Hello\n"), std::string::npos) << chosen.screen;
    EXPECT_EQ(chosen.exitCode, 0);
    // Root remembers where only root can write; any other user in the per-user file.
    EXPECT_NE(readFile(geteuid() == 0 ? rootsStore / "1/tool.ini"
                                      : dir.path() / "config" / product / "1/tool.ini")
                  .find("JRE Path=" + kJdk),
              std::string::npos);

    // With the folder remembered, an uncaught exception asks whether to stop.
    settings("noviq.apps.Throws", "[Application]\nFailure Check=YES\n");
    const TerminalRun stopped = runOnTerminal(tool, {{"[y/N] ", "y"}}, env);
    EXPECT_NE(stopped.screen.find("java.lang.IllegalStateException: thrown from main\n"),
              std::string::npos)
        << stopped.screen;
    EXPECT_EQ(stopped.exitCode, 255); // System.exit(-1)
    EXPECT_EQ(runOnTerminal(tool, {{"[y/N] ", ""}}, env).exitCode, 1);
    fs::remove_all(rootsStore, ignored);
}

} // namespace
} // namespace noviq::test
