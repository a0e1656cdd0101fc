// Service mode under Wine with the real service control manager: tool.exe, hosting the
// scripted JNI runtime, installed with sc under a name of its own; its states and exit codes
// read back with sc query, its error lines from the event log's debug channel, which the
// session writes to wine-eventlog.log (Wine keeps no event log).
#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <thread>
#include <unistd.h>

#include "harness.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace noviq::test {
namespace {

constexpr int kStopped = 1, kStopPending = 3, kRunning = 4;

struct ServiceStatus {
    int state = 0;
    uint32_t win32ExitCode = 0;
    uint32_t serviceExitCode = 0;
    uint32_t checkPoint = 0;
    uint32_t waitHint = 0;
};

std::string hexUnits(const std::string& ascii) {
    std::string out;
    char unit[8];
    for (char c : ascii) {
        std::snprintf(unit, sizeof unit, "%s%04X", out.empty() ? "" : " ",
                      static_cast<unsigned>(c));
        out += unit;
    }
    return out;
}

// tool.exe with the scripted jvm.dll, installed as a service whose program line ends with
// "line"; stopped (its waits ended by the stop file) and deleted however the test ends.
class InstalledService {
public:
    InstalledService(const std::string& tag, const std::string& parameters,
                     const std::string& application = "",
                     const std::string& classPath = "\\lib\\a.jar", const std::string& rt = "rt")
        : name_("noviq_" + tag + "_" + std::to_string(getpid())) {
        tool_ = dir_.copy(launcherBinary(Build::Windows), "tool.exe");
        dir_.copy(windowsFixture("scripted_jvm.dll"), "rt/bin/server/jvm.dll");
        dir_.write("lib/a.jar", "");
        const std::string dir = toWindowsPath(dir_.path());
        dir_.write("tool.ini",
                   replaceAll("[Java Runtime Environment]\nJRE Path=" + dir + "\\" + rt +
                                  "\nMain Class=noviq.Main\nVirtual Machine Parameters="
                                  "-Dscripted.record=" +
                                  dir + "\\record.txt -Dscripted.stop=" + dir + "\\stop " +
                                  parameters + "\n[Class Path]\nClass Path=" + classPath +
                                  "\n[Application]\nApplication Type=service\nCmd=-c\n" +
                                  application,
                              "\n", "\r\n"));
        sc({"create", name_, "binpath=", toWindowsPath(tool_) + " line"});
    }
    ~InstalledService() {
        endApplication();
        sc({"stop", name_});
        waitFor(kStopped);
        sc({"delete", name_});
    }

    const std::string& name() const { return name_; }
    const fs::path& tool() const { return tool_; }
    ScenarioDir& dir() { return dir_; }
    RunResult sc(std::vector<std::string> args) const {
        args.insert(args.begin(), "sc");
        return runWineProgram(args);
    }
    // Ends every wait of the scripted application.
    void endApplication() const { dir_.write("stop", ""); }

    ServiceStatus query() const {
        const std::string out = sc({"query", name_}).out;
        auto number = [&out](const std::string& field) -> uint32_t {
            const size_t at = out.find(field + " ");
            const size_t colon = at == std::string::npos ? at : out.find(':', at);
            return colon == std::string::npos ? 0 : std::stoul(out.substr(colon + 1), nullptr, 0);
        };
        return {static_cast<int>(number("STATE")), number("WIN32_EXIT_CODE"),
                number("SERVICE_EXIT_CODE"), number("CHECKPOINT"), number("WAIT_HINT")};
    }
    // Polls until `done` holds (at most 5 s) and returns the last status.
    template <class Done> ServiceStatus waitUntil(Done done) const {
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        ServiceStatus status = query();
        while (!done(status) && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            status = query();
        }
        return status;
    }
    ServiceStatus waitFor(int state) const {
        return waitUntil([state](const ServiceStatus& s) { return s.state == state; });
    }

    std::vector<std::string> recorded(const std::string& prefix) const {
        return linesStartingWith(dir_.path() / "record.txt", prefix);
    }
    bool waitForRecord(const std::string& prefix) const {
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        while (recorded(prefix).empty() && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return !recorded(prefix).empty();
    }

private:
    ScenarioDir dir_;
    fs::path tool_;
    std::string name_;
};

// Start parameters reach main after the program line's own arguments and before Cmd's. A stop
// always ends the service cleanly: the stop method ends main (service_linux_test.cpp), or
// without one System.exit ends Java at once, or the stop timeout does (stop-pending meanwhile,
// with progress).
TEST(ServiceWine, StartParametersAndStopRequests) {
    NOVIQ_SKIP_WITHOUT_WINE();
    const std::string waits = "-Dscripted.mode=waits:20000 ",
                      stoppable = waits + "-Dscripted.stoppable=",
                      control = "Stop Class=noviq.Control\nStop Parameters=-p \"a b\"\n";
    const struct {
        const char* tag;
        std::string parameters;
        std::string application;
        const char* stop; // the stop method's call; empty: none
        bool exits;       // Java is ended with System.exit(0)
        int held; // kRunning: main returned, a worker keeps it running; kStopPending: the stop
    } cases[] = {
        // With "Omit Service Name", main gets the arguments without the service's name.
        {"nostop", waits, "Omit Service Name=1\n", "", true, 0},
        {"configured", stoppable + "args", control, "noviq/Control [002D 0070] [0061 0020 0062]",
         false, 0},
        {"hangs", stoppable + "hangs", "Stop Timeout=2\n", "noviq/Main", true, kStopPending},
        // main has returned, a non-daemon thread still works: the service still runs.
        {"worker", "-Dscripted.worker=20000", "", "", false, kRunning},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        InstalledService service(c.tag, c.parameters, c.application);
        service.sc({"start", service.name(), "-x", "5"});
        ASSERT_TRUE(service.waitForRecord("main "));
        std::vector<std::string> arguments = {"line", service.name(), "-x", "5", "-c"};
        if (c.application.find("Omit Service Name") != std::string::npos)
            arguments.erase(arguments.begin() + 1);
        for (std::string& argument : arguments)
            argument = hexUnits(argument);
        EXPECT_EQ(service.recorded("arg "), arguments);
        if (&c == &cases[0]) { // Wine's sc has no "interrogate": the fixture sends the control.
            RunOptions interrogate;
            interrogate.args = {"interrogate", service.name()};
            EXPECT_EQ(run(Build::Windows, windowsFixture("winrun.exe"), interrogate).out,
                      "0 4 0\r\n");
        }

        if (c.held == kRunning) {
            ASSERT_TRUE(service.waitForRecord("destroy"));
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            EXPECT_EQ(service.query().state, kRunning);
        } else {
            service.sc({"stop", service.name()});
        }
        if (c.held == kStopPending) {
            // The timeout and the grace after it, with progress until the end.
            const ServiceStatus pending = service.query();
            EXPECT_EQ(pending.state, kStopPending);
            EXPECT_EQ(pending.waitHint, 7000u);
            const ServiceStatus later = service.waitUntil(
                [&](const ServiceStatus& s) { return s.checkPoint > pending.checkPoint; });
            EXPECT_EQ(later.state, kStopPending);
            EXPECT_GT(later.checkPoint, pending.checkPoint);
        }
        if (c.held == kRunning)
            service.endApplication();
        const ServiceStatus stopped = service.waitFor(kStopped);
        EXPECT_EQ(stopped.state, kStopped);
        EXPECT_EQ(stopped.win32ExitCode, 0u);
        EXPECT_EQ(stopped.serviceExitCode, 0u);
        EXPECT_EQ(service.recorded("stop "),
                  *c.stop ? std::vector<std::string>{c.stop} : std::vector<std::string>{});
        EXPECT_EQ(service.recorded("exit "),
                  c.exits ? std::vector<std::string>{"0"} : std::vector<std::string>{});
    }
}

// Where the one runtime is 32-bit, the service runs the paired program for as long as it
// runs, and its exit code is the service's.
TEST(ServiceWine32, ThePairedProgramRunsAsTheService) {
    NOVIQ_SKIP_WITHOUT_WINE32();
    ASSERT_TRUE(fs::exists(windows32File("noviq32.exe"))) << "the windows32 preset is not built";
    InstalledService service("paired", "-Dscripted.mode=exit:42",
                             "Pair Product=tool32.exe\nPair Return Code=Yes\n");
    service.dir().copy(windows32File("noviq32.exe"), "tool32.exe");
    service.dir().copy(windows32File("tests/fixtures/scripted_jvm.dll"), "rt/bin/server/jvm.dll");
    // The paired program runs in the foreground: its INI file asks for no service.
    service.dir().write("tool32.ini", replaceAll(readFile(service.dir().path() / "tool.ini"),
                                                 "Application Type=service", ""));
    service.sc({"start", service.name()});
    const ServiceStatus stopped = service.waitFor(kStopped);
    EXPECT_EQ(stopped.win32ExitCode, 1066u); // ERROR_SERVICE_SPECIFIC_ERROR
    EXPECT_EQ(stopped.serviceExitCode, 42u);
    EXPECT_EQ(service.recorded("main "), std::vector<std::string>{"noviq/Main"});
}

// Java's exit status and the launcher's failures are the service's own exit code; error lines
// go to the event log once the service's name is known, also those that came before it. Run
// from a console, the program only learns that no manager started it.
TEST(ServiceWine, ExitCodesErrorLinesAndConsoleStart) {
    NOVIQ_SKIP_WITHOUT_WINE();
    const fs::path eventLog = fs::path(NOVIQ_LINUX_BUILD_DIR) / "wine-eventlog.log";
    const std::string notFound =
        "Error: The Java Runtime Environment (JRE) was not found. Please  download and install "
        "a JRE (latest version) from: https://java.com/ ";
    const struct {
        const char* tag;
        std::string parameters;
        const char* classPath;
        const char* rt;
        uint32_t serviceExitCode;
        std::string logged;  // the one error line; empty: none
        bool beforeDispatch; // the error comes before the dispatcher connects
    } cases[] = {
        {"exit", "-Dscripted.mode=exit:3", "\\lib\\a.jar", "rt", 3, "", false},
        {"noclasspath", "", "", "rt", 0xFFFFFFFFu,
         "Error: Java Class Path was not specified in INI file. ", false},
        {"noruntime", "", "\\lib\\a.jar", "gone", 0xFFFFFFFFu, notFound, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.tag);
        InstalledService service(c.tag, c.parameters, "", c.classPath, c.rt);
        const size_t logStart = readFile(eventLog).size();
        service.sc({"start", service.name()});
        const ServiceStatus stopped = service.waitFor(kStopped);
        EXPECT_EQ(stopped.state, kStopped);
        EXPECT_EQ(stopped.win32ExitCode, 1066u); // ERROR_SERVICE_SPECIFIC_ERROR
        EXPECT_EQ(stopped.serviceExitCode, c.serviceExitCode);
        const std::string logged = readFile(eventLog).substr(logStart);
        if (c.logged.empty())
            EXPECT_EQ(logged, "");
        else
            EXPECT_EQ(countOf(logged, "err:eventlog:ReportEventW L\"" + c.logged + "\\n\"\n"), 1u)
                << logged;

        if (c.logged.empty())
            continue; // from a console it ends as the next one does
        const RunResult console = run(Build::Windows, service.tool());
        EXPECT_EQ(console.exitCode, 1063u); // ERROR_FAILED_SERVICE_CONTROLLER_CONNECT
        EXPECT_EQ(console.out, "");
        EXPECT_EQ(console.err, c.beforeDispatch ? c.logged + "\r\n" : "");
    }
}

} // namespace
} // namespace noviq::test
