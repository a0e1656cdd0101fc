// Windows: the service control manager. One service in its own process, dispatched under the
// empty name (the manager then needs no name in the executable); its status goes to the
// manager, the launcher's error lines to the Application event log.
#include "platform/service_host.h"

#include <utility>

#include "platform/console.h"
#include "platform/text.h"
#include "platform/threads.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

namespace noviq::platform {

using namespace win32;

namespace {

// The manager expects progress within the hint while a stop is pending; a stop without a
// bound has the usual hint.
constexpr DWORD kUnboundedStopWaitHint = 3000;
constexpr DWORD kCheckPointInterval = 1000;

} // namespace

// Lives as long as the process: the check point thread may outlive the dispatcher.
struct ServiceHost::State {
    Mutex lock; // the control handler, the service thread, stop threads and exit hooks report
    ServiceEvents* events = nullptr;
    SERVICE_STATUS_HANDLE handle = nullptr;
    SERVICE_STATUS status{SERVICE_WIN32_OWN_PROCESS,
                          SERVICE_RUNNING,
                          SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN,
                          NO_ERROR,
                          0,
                          0,
                          0};
    bool stopped = false;
    bool ticking = false;
    bool named = false; // the event source can be opened: the service's name is known
    DWORD stopWaitHint = kUnboundedStopWaitHint;
    ScopedEventSource eventLog;
    StringList keptErrors; // lines that came before the name

    // StartServiceCtrlDispatcherW's service main takes no context: one service per process.
    static State* current;

    // 0, or the system's error when the manager refused the report.
    DWORD report() { return SetServiceStatus(handle, &status) ? NO_ERROR : GetLastError(); }

    DWORD reportStopPending() {
        MutexLock hold(lock);
        if (stopped)
            return NO_ERROR;
        status.dwCheckPoint =
            status.dwCurrentState == SERVICE_STOP_PENDING ? status.dwCheckPoint + 1 : 1;
        status.dwCurrentState = SERVICE_STOP_PENDING;
        status.dwWaitHint = stopWaitHint;
        const DWORD error = report();
        if (!error && !ticking)
            ticking = startDetachedThread(advanceCheckPoint, this);
        return error;
    }

    // Without progress within the wait hint the manager may take the service for hung, and
    // stop() or the application's threads may take longer than that.
    static uint32_t advanceCheckPoint(void* context) {
        State* self = static_cast<State*>(context);
        for (;;) {
            Sleep(kCheckPointInterval);
            MutexLock hold(self->lock);
            if (self->stopped)
                return 0;
            ++self->status.dwCheckPoint;
            self->report();
        }
    }

    void writeError(const WideString& line) {
        const wchar_t* strings[] = {w(line)};
        ReportEventW(eventLog.get(), EVENTLOG_ERROR_TYPE, 0, 0, nullptr, 1, 0, strings, nullptr);
    }

    static uint32_t requestStop(void* context) {
        static_cast<State*>(context)->events->stopRequested(0);
        return 0;
    }

    static DWORD WINAPI control(DWORD code, DWORD, void*, void* context) {
        State* self = static_cast<State*>(context);
        if (code == SERVICE_CONTROL_STOP || code == SERVICE_CONTROL_SHUTDOWN) {
            // A stop the manager was not told of is not made.
            if (const DWORD error = self->reportStopPending())
                self->events->statusNotReported(error);
            else // the handler must return at once; the stop may take as long as it likes
                startDetachedThread(requestStop, self);
            return NO_ERROR;
        }
        MutexLock hold(self->lock);
        if (!self->stopped)
            self->report();
        return code == SERVICE_CONTROL_INTERROGATE ? NO_ERROR : ERROR_CALL_NOT_IMPLEMENTED;
    }

    static void WINAPI serviceMain(DWORD argc, wchar_t** argv) {
        State* self = current;
        StringList parameters;
        for (DWORD i = 0; i < argc; ++i)
            parameters.add(str(argv[i]));
        DWORD error = NO_ERROR;
        {
            // Held from the registration on: a control that comes at once reports after this.
            MutexLock hold(self->lock);
            self->handle = RegisterServiceCtrlHandlerExW(L"", control, self);
            if (!self->handle)
                return;
            // The event source first: a refused report below is one of its lines.
            if (argc > 0) {
                self->named = true;
                self->eventLog.reset(RegisterEventSourceW(nullptr, argv[0]));
                for (const WideString& line : self->keptErrors)
                    self->writeError(line);
                self->keptErrors.clear();
            }
            // Running at once: a stop must be accepted while the JVM starts (the service
            // module then cancels the start or makes the stop once main is entered).
            error = self->report();
        }
        // A service the manager does not know as running is not run.
        if (error)
            self->events->statusNotReported(error);
        else
            self->events->serviceMain(parameters);
    }
};

ServiceHost::State* ServiceHost::State::current = nullptr;

int32_t ServiceHost::runDispatcher(ServiceEvents& events, uint32_t stopWaitHint) {
    if (!state_)
        state_ = new State;
    state_->events = &events;
    if (stopWaitHint)
        state_->stopWaitHint = stopWaitHint;
    State::current = state_;
    wchar_t name[] = L"";
    const SERVICE_TABLE_ENTRYW table[] = {{name, State::serviceMain}, {nullptr, nullptr}};
    if (StartServiceCtrlDispatcherW(table))
        return 0;
    // Not started by the manager (a console start, 1063): no event source will ever be
    // opened, and the kept lines are the caller's to deliver.
    return static_cast<int32_t>(GetLastError());
}

StringList ServiceHost::takeUndeliveredErrors() {
    StringList lines;
    if (!state_)
        return lines;
    MutexLock hold(state_->lock);
    if (!state_->named)
        std::swap(lines, state_->keptErrors);
    return lines;
}

const char* const* ServiceHost::serviceJvmOptions() {
    static const char* const options[] = {nullptr};
    return options;
}

void ServiceHost::reportReady() {
    // SERVICE_RUNNING was reported as the service main began.
}

void ServiceHost::reportStopPending() {
    state_->reportStopPending();
}

void ServiceHost::reportStopped(int32_t status) {
    MutexLock hold(state_->lock);
    if (state_->stopped)
        return;
    state_->stopped = true;
    SERVICE_STATUS& s = state_->status;
    s.dwCurrentState = SERVICE_STOPPED;
    s.dwControlsAccepted = 0;
    s.dwCheckPoint = 0;
    s.dwWaitHint = 0;
    // Java's status, or the launcher's -1, is the service's own code; the manager shows it
    // only under ERROR_SERVICE_SPECIFIC_ERROR.
    s.dwWin32ExitCode = status == 0 ? NO_ERROR : ERROR_SERVICE_SPECIFIC_ERROR;
    s.dwServiceSpecificExitCode = status == 0 ? 0 : static_cast<DWORD>(status);
    state_->report();
}

void ServiceHost::logError(const WideString& line) {
    if (!state_)
        state_ = new State; // the launcher's first errors come before the dispatcher
    MutexLock hold(state_->lock);
    if (state_->named)
        state_->writeError(line);
    else
        state_->keptErrors.add(line);
}

} // namespace noviq::platform
