// The launcher's dialogs on a visible desktop under Wine and Xvfb, worked from outside as a
// user works them: tests/fixtures/winrun.exe drive starts the launcher, finds its dialog by
// caption, clicks, types, walks the folder browser's tree and reads controls and pixels back.
// The launcher hosts the scripted JNI runtime, which records what it ran. (Every other
// Windows scenario runs where nobody could answer a dialog: those cover the prompts' error
// line and the exception that lets the run go on.)
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "harness.h"

namespace fs = std::filesystem;

namespace noviq::test {
namespace {

const std::string kUserInterfaceLibraries = "modules=shell32.dll,comctl32.dll,ole32.dll";

// Without a window manager Wine would wait 2 s for every closing window it hands to one;
// unmanaged, its windows also draw their own caption bars.
void prepareDesktop() {
    importRegistry("REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"
                   "\"Managed\"=\"N\"\n");
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line.substr(0, line.find_last_not_of('\r') + 1));
    return lines;
}

// The launcher `exe` run by the driver with `steps`; the driver's report, which ends with the
// launcher's exit code. The output of the run is the launcher's. Elevated unless told.
std::vector<std::string> drive(const fs::path& exe, const std::vector<std::string>& steps,
                               RunResult* result = nullptr, bool notElevated = false) {
    const fs::path report = exe.parent_path() / "report.txt";
    RunOptions options;
    options.visibleDesktop = true;
    options.notElevated = notElevated;
    options.timeoutSeconds = 90; // the driver's own waits end it first
    options.workingDirectory = exe.parent_path();
    options.args = {"drive", toWindowsPath(report)};
    options.args.insert(options.args.end(), steps.begin(), steps.end());
    options.args.insert(options.args.end(), {"--", toWindowsPath(exe)});
    const RunResult run = test::run(Build::Windows, windowsFixture("winrun.exe"), options);
    if (result)
        *result = run;
    return linesOf(readFile(report));
}

// Lines of a file written by processes that may still be starting (slowly on a loaded
// machine): waited for until there are `count`, then a moment longer for any that should not
// come.
std::vector<std::string> awaitLines(const fs::path& file, size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
    while (linesOf(readFile(file)).size() < count && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    return linesOf(readFile(file));
}

// A REGEDIT4 string value: quoted, with its quotes and backslashes escaped.
std::string regString(const std::string& text) {
    return "\"" + replaceAll(replaceAll(text, "\\", "\\\\"), "\"", "\\\"") + "\"";
}

// The runtime-not-found case: tool.exe in app\, a client and a server runtime beside it, and
// the settings with %TYPE% for a JVM Type line.
struct NotFoundScenario {
    ScenarioDir dir;
    fs::path exe = dir.copy(launcherBinary(Build::Windows), "app/tool.exe");
    fs::path client = dir.path() / "client", server = dir.path() / "server";
    fs::path record = dir.path() / "record.txt";
    std::string settings =
        "[Java Runtime Environment]\nMain Class=noviq.Main\nMinimum Version=1.6\n%TYPE%"
        "Virtual Machine Parameters=-Dscripted.record=" +
        toWindowsPath(record) +
        "\n[Class Path]\nClass Path=\\lib\\a.jar\n"
        "[Product Information]\nProduct Name=Noviq Dialog Test\nProduct Code=2.0\n";
    std::string appData = "--set=APPDATA=" + toWindowsPath(dir.path() / "appdata");

    explicit NotFoundScenario(const std::string& type) {
        dir.write("app/lib/a.jar", "");
        dir.copy(windowsFixture("scripted_jvm.dll"), "client/bin/client/jvm.dll");
        dir.copy(windowsFixture("scripted_jvm.dll"), "server/bin/server/jvm.dll");
        dir.write("app/tool.ini", replaceAll(settings, "%TYPE%", type));
    }
    // The start went on with the library of `folder`, which is remembered where only
    // administrators can write: the start is elevated, as every start under Wine.
    void expectStartedWith(const fs::path& folder, const std::string& library) const {
        EXPECT_EQ(countOf(readFile(record), "main noviq/Main"), 1u);
        EXPECT_EQ(
            countOf(readFile(record), "env NOVIQ_JVM_PATH=" + toWindowsPath(folder / library)), 1u);
        const std::string remembered = "HKLM\\Software\\Noviq Dialog Test\\2.0\\tool";
        EXPECT_NE(runWineProgram({"reg", "query", remembered, "/v", "JRE Path", "/reg:64"})
                      .out.find(toWindowsPath(folder) + "\\"),
                  std::string::npos);
        EXPECT_FALSE(fs::exists(dir.path() / "appdata"));
        runWineProgram({"reg", "delete", remembered, "/f", "/reg:64"});
    }
};

TEST(JreNotFoundDialogWine, ChoosesARuntimeFolderOrEndsTheStart) {
    NOVIQ_SKIP_WITHOUT_WINE();
    prepareDesktop();
    NotFoundScenario s("JVM Type=server\n");
    const fs::path opened = s.dir.path() / "opened.txt";
    // The link opens with the shell's handler of https, here a recorder that names the program
    // that started it; Wine 8 reads protocol handlers from HKEY_LOCAL_MACHINE only. The link
    // colour comes from the user's settings.
    const std::string handler =
        "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Classes\\https\\shell\\open\\command]\n@=";
    const std::string colours =
        "\n\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Internet Explorer\\Settings]\n"
        "\"Anchor Color\"=";
    importRegistry(handler +
                   regString("\"" + toWindowsPath(windowsFixture("winrun.exe")) + "\" record " +
                             toWindowsPath(opened) + " \"%1\"") +
                   colours + regString("255,0,0") + "\n");

    const std::string notFound =
        "text 203: The Java Runtime Environment (JRE) was not found. Please  download and "
        "install a JRE ";

    // Server JVMs only: a folder with only a client library keeps OK disabled (a second Browse
    // while the browser opens: TakesAFolderChosenWithTheKeyboard). Elevated, the link is
    // opened by the desktop's shell, not by the launcher.
    EXPECT_EQ(
        drive(s.exe, {s.appData, "window=JRE Not Found", kUserInterfaceLibraries, "centred",
                      "text=203", "text=205", "enabled=1", "ink=205:FF0000",
                      // A press on the link released outside it opens nothing.
                      "mouse=205:3,3:3,60", "key=205:space", "ink=205:800080", "key=205:return",
                      "mouse=205:3,3:3,3", "browse=" + toWindowsPath(s.client), "enabled=1",
                      "browse=" + toWindowsPath(s.server), "enabled=1", "click=1"}),
        (std::vector<std::string>{
            "window JRE Not Found", "modules: comctl32.dll,ole32.dll,shell32.dll", "centred",
            notFound + "with a server JVM (minimum version 1.6) from:",
            "text 205: https://java.com/", "enabled 1: 0", "ink 205 FF0000: yes",
            "ink 205 800080: yes", "browsed: " + toWindowsPath(s.client), "enabled 1: 0",
            "browsed: " + toWindowsPath(s.server), "enabled 1: 1", "exit 00000000"}));
    EXPECT_EQ(awaitLines(opened, 3), std::vector<std::string>(3, "explorer.exe https://java.com/"));
    s.expectStartedWith(s.server, "bin/server/jvm.dll");

    // Any JVM type: Escape, or Cancel, ends the start with -1 and nothing printed. Not
    // elevated, the launcher opens the link itself.
    fs::remove_all(s.dir.path() / "appdata");
    fs::remove(opened);
    s.dir.write("app/tool.ini", replaceAll(s.settings, "%TYPE%", ""));
    const std::string recorded = "wait-file=" + toWindowsPath(opened);
    const struct {
        std::vector<std::string> answer;
        bool notElevated;
    } answers[] = {{{"key=201:escape"}, false}, {{"key=205:return", recorded, "click=2"}, true}};
    for (const auto& [answer, notElevated] : answers) {
        SCOPED_TRACE(answer.front());
        std::vector<std::string> steps = {"window=JRE Not Found", "text=203"};
        steps.insert(steps.end(), answer.begin(), answer.end());
        RunResult result;
        EXPECT_EQ(
            drive(s.exe, steps, &result, notElevated),
            (std::vector<std::string>{"window JRE Not Found",
                                      notFound + "(minimum version 1.6) from:", "exit FFFFFFFF"}));
        EXPECT_EQ(result.out, "");
        EXPECT_FALSE(fs::exists(s.dir.path() / "appdata"));
    }
    EXPECT_EQ(awaitLines(opened, 1), std::vector<std::string>{"tool.exe https://java.com/"});
    // A link that cannot be opened leaves the address selected for copying in its place.
    importRegistry(handler +
                   regString("\"" + toWindowsPath(s.dir.path() / "none.exe") + "\" \"%1\"") + "\n");
    EXPECT_EQ(drive(s.exe,
                    {"window=JRE Not Found", "key=205:return", "shown=207", "text=207", "click=2"},
                    nullptr, true),
              (std::vector<std::string>{"window JRE Not Found", "shown 207: yes",
                                        "text 207: https://java.com/", "exit FFFFFFFF"}));
    importRegistry(handler + regString("\"C:\\windows\\system32\\winebrowser.exe\" \"%1\"") +
                   colours + "-\n");
}

// xdotool with `args` on the session's display; what it printed.
std::string xdotool(const std::vector<std::string>& args) {
    RunOptions options;
    options.args = args;
    return run(Build::Linux, "/usr/bin/xdotool", options).out;
}

// The dialog worked with key presses on the X display, as a user types them: Browse, the
// browser's tree opened down to the folder by its names, and the browser's OK; one browser
// at a time, and OK enabled for the folder shown.
TEST(JreNotFoundDialogWine, TakesAFolderChosenWithTheKeyboard) {
    NOVIQ_SKIP_WITHOUT_WINE();
    if (!fs::exists("/usr/bin/xdotool"))
        GTEST_SKIP() << "xdotool is not installed (scripts/bootstrap installs it)";
    prepareDesktop();
    NotFoundScenario s("");
    const fs::path ready = s.dir.path() / "ready", done = s.dir.path() / "done";
    std::vector<std::string> report;
    std::thread driver([&] {
        report = drive(s.exe, {s.appData, "window=JRE Not Found", "touch=" + toWindowsPath(ready),
                               "wait-file=" + toWindowsPath(done), "text=201", "enabled=1",
                               "browsers", "click=1"});
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!fs::exists(ready) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    // Key events through the X server's test extension, as a keyboard makes them: events sent
    // to one window (xdotool --window) would send the release of the key that closes the
    // browser to a window that is gone, and Wine would hold that key down from then on.
    // Type-ahead joins letters typed within a moment (and a window may still fill): a pause
    // comes first, except before a key that only opens the item just typed.
    const auto send = [](const char* command, std::vector<std::string> keys, bool pause = true) {
        if (pause)
            std::this_thread::sleep_for(std::chrono::milliseconds(700));
        keys.insert(keys.begin(), command);
        xdotool(keys);
    };
    const auto await = [](const char* caption) {
        xdotool({"search", "--sync", "--onlyvisible", "--name", caption});
    };
    // From the first focus (Cancel: OK is disabled) past the path to Browse, pressed twice:
    // the second press reaches Browse while the browser opens, and opens no second one.
    await("^JRE Not Found$");
    send("key", {"Tab", "Tab", "space", "space"});
    await("^Browse for Folder$");
    send("key", {"Down", "Right"}); // "/" under Desktop, opened
    for (const auto& name : s.client.relative_path()) {
        send("type", {name.string()});
        send("key", {"Right"}, false);
    }
    send("key", {"Return"});
    std::ofstream(done).put('\n');
    driver.join();
    EXPECT_EQ(report, (std::vector<std::string>{"window JRE Not Found",
                                                "text 201: " + toWindowsPath(s.client),
                                                "enabled 1: 1", "browsers: 0", "exit 00000000"}));
    s.expectStartedWith(s.client, "bin/client/jvm.dll");
}

// The windowed launcher: a program of the Windows subsystem that asks for no elevation, whose
// standard output and error lead nowhere and whose errors are message boxes.
std::string executionLevelOf(const std::string& image) {
    const std::string key = "requestedExecutionLevel level=\"";
    const size_t at = image.find(key);
    return at == std::string::npos
               ? ""
               : image.substr(at + key.size(), image.find('"', at + key.size()) - at - key.size());
}

uint16_t subsystemOf(const std::string& image) {
    uint32_t header = 0;
    uint16_t subsystem = 0;
    std::memcpy(&header, image.data() + 0x3C, sizeof header);
    std::memcpy(&subsystem, image.data() + header + 24 + 68, sizeof subsystem);
    return subsystem;
}

// The settings of a scripted start (JRE Path rt\ beside the executable), more keys after.
std::string scriptedSettings(const std::string& mode, const fs::path& record,
                             const std::string& more = "") {
    return "[Java Runtime Environment]\nJRE Path=rt\nMain Class=noviq.Main\n"
           "Virtual Machine Parameters=-Dscripted.mode=" +
           mode + " -Dscripted.record=" + toWindowsPath(record) +
           "\n[Class Path]\nClass Path=\\lib\\a.jar\n" + more;
}

// toolw.exe in dir, with the paired toolw32.exe beside it and rt\ holding the 64- or the
// 32-bit scripted runtime.
fs::path windowedTool(const ScenarioDir& dir, bool runtime32) {
    dir.copy(runtime32 ? windows32File("tests/fixtures/scripted_jvm.dll")
                       : windowsFixture("scripted_jvm.dll"),
             "rt/bin/server/jvm.dll");
    dir.copy(windows32File("noviq32.exe"), "toolw32.exe");
    dir.write("lib/a.jar", "");
    return dir.copy(launcherBinary(Build::Windows).parent_path() / "noviqw.exe", "toolw.exe");
}

// A windowed start, paired with toolw32.exe: the scripted main writes to standard output and
// error, which reach nobody, and the exit code is the application's, also through the
// paired launcher (with the 32-bit runtime).
void expectSilentWindowedRun(bool paired, uint32_t exitCode) {
    ScenarioDir dir;
    const fs::path exe = windowedTool(dir, paired);
    const fs::path record = dir.path() / "record.txt";
    const std::string settings = scriptedSettings("exit:" + std::to_string(exitCode), record);
    dir.write("toolw32.ini", settings);
    dir.write("toolw.ini",
              settings + "[Application]\nPair Product=toolw32.exe\nPair Return Code=Yes\n");
    const RunResult result = run(Build::Windows, exe);
    EXPECT_EQ(result.exitCode, exitCode);
    EXPECT_EQ(result.out + result.err, "");
    EXPECT_EQ(linesStartingWith(record, "main "), std::vector<std::string>{"noviq/Main"});
}

// An error that reaches the user in a message box captioned `caption`, when toolw.exe starts
// with toolw.ini holding `settings` (toolw32.ini, the paired launcher's, has no main class;
// without a main class a launcher stops before it chooses a runtime). Nothing is printed.
void expectErrorInMessageBox(const char* caption, const std::string& settings, const char* exit) {
    SCOPED_TRACE(settings);
    const std::string noMainClass = "[Java Runtime Environment]\nJRE Path=rt\n";
    ScenarioDir dir;
    const fs::path exe = windowedTool(dir, true);
    dir.write("toolw32.ini", noMainClass);
    dir.write("toolw.ini", noMainClass + settings);
    RunResult result;
    EXPECT_EQ(
        drive(exe, {std::string("window=") + caption, "text=65535", "click=1"}, &result),
        (std::vector<std::string>{std::string("window ") + caption,
                                  "text 65535: Error: Main class was not specified in INI file.",
                                  std::string("exit ") + exit}));
    EXPECT_EQ(result.out + result.err, "");
}

const char* const kPairedWindowed =
    "[Application]\nPair Product=toolw32.exe\nPair Return Code=Yes\n";

TEST(WindowedLauncherWine, RunsWithoutConsoleAndShowsErrorsInAMessageBox) {
    NOVIQ_SKIP_WITHOUT_WINE();
    const std::string image = readFile(launcherBinary(Build::Windows).parent_path() / "noviqw.exe"),
                      consoleImage = readFile(launcherBinary(Build::Windows)),
                      pairedImage = readFile(windows32File("noviq32.exe"));
    EXPECT_EQ(subsystemOf(image), 2);        // IMAGE_SUBSYSTEM_WINDOWS_GUI
    EXPECT_EQ(subsystemOf(consoleImage), 3); // IMAGE_SUBSYSTEM_WINDOWS_CUI
    EXPECT_EQ(subsystemOf(pairedImage), 3);
    // The others' levels are read back from their branded copies (branding_test.cpp).
    EXPECT_EQ(executionLevelOf(pairedImage), "asInvoker");

    // A 64-bit runtime is hosted, though a paired program is named.
    expectSilentWindowedRun(false, 42);
    // The windowed launcher's own error, and that of a windowed service started by a user,
    // not by the manager (1063).
    prepareDesktop();
    expectErrorInMessageBox("toolw.exe", kPairedWindowed, "FFFFFFFF");
    expectErrorInMessageBox("toolw.exe", "[Application]\nApplication Type=service\n", "00000427");
}

// The paired launcher that a windowed one starts has no console either: its exit code comes
// back, and its error reaches the user in a message box of its own.
TEST(WindowedLauncherWine32, ThePairedLauncherRunsWithoutConsoleToo) {
    NOVIQ_SKIP_WITHOUT_WINE32();
    expectSilentWindowedRun(true, 43);
    prepareDesktop();
    expectErrorInMessageBox("toolw32.exe", std::string("Main Class=noviq.Main\n") + kPairedWindowed,
                            "FFFFFFFF");
}

// tool.exe with the scripted runtime in rt\ and tool.ini holding `settings`.
fs::path scriptedTool(const ScenarioDir& dir, const std::string& settings) {
    dir.copy(windowsFixture("scripted_jvm.dll"), "rt/bin/server/jvm.dll");
    dir.write("lib/a.jar", "");
    dir.write("tool.ini", settings);
    return dir.copy(launcherBinary(Build::Windows), "tool.exe");
}

// Stop ends the application through System.exit(-1); Ignore, Escape and the close box let
// the run go on, which ends as an uncaught exception does (1). Stop has the id the dialog
// manager gives Escape, so Escape is tried with the focus on Stop. (A click and the space bar
// both come as the button's own click.)
TEST(ExceptionDialogWine, OnlyStopEndsTheApplication) {
    NOVIQ_SKIP_WITHOUT_WINE();
    prepareDesktop();
    const struct {
        const char* answer;
        uint32_t exitCode;
    } cases[] = {
        {"click=2", 0xFFFFFFFFu},
        {"key=2:return", 0xFFFFFFFFu},
        {"click=1", 1},
        {"key=2:escape", 1},
        {"close", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        ScenarioDir dir;
        const fs::path record = dir.path() / "record.txt";
        const fs::path exe = scriptedTool(
            dir, scriptedSettings("throws", record, "[Application]\nFailure Check=Yes\n"));
        EXPECT_EQ(drive(exe, {"window=Java Exception", "text=208", c.answer}),
                  (std::vector<std::string>{
                      "window Java Exception",
                      "text 208: java/lang/IllegalStateException: scripted "
                      "failure\\r\\n\tat scripted.Main.main(Main.java)\\r\\n",
                      "exit " + std::string(c.exitCode == 1 ? "00000001" : "FFFFFFFF")}));
        // Stopped inside the JVM: the main thread never detached.
        EXPECT_EQ(countOf(readFile(record), "detach"), c.exitCode == 1 ? 1u : 0u);
    }
}

// The shell, COM and the common controls are for the dialogs alone: a start that shows none
// does not load them.
TEST(StartWithoutDialogWine, LoadsNoUserInterfaceLibrary) {
    NOVIQ_SKIP_WITHOUT_WINE();
    ScenarioDir dir;
    const std::string stop = toWindowsPath(dir.path() / "stop");
    const fs::path exe = scriptedTool(
        dir, scriptedSettings("waits:20000 -Dscripted.stop=" + stop, dir.path() / "record.txt"));
    EXPECT_EQ(drive(exe, {"wait-module=jvm.dll", kUserInterfaceLibraries, "touch=" + stop}),
              (std::vector<std::string>{"modules: none", "exit 00000000"}));
}

} // namespace
} // namespace noviq::test
