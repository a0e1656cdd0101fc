// The system's service manager as the launcher's service module sees it. Windows: the
// service control manager (dispatcher, control handler, status reports, the event log).
// Linux: a foreground daemon (SIGTERM and SIGINT are the stop request, the systemd notify
// protocol reports the state, errors go to standard error).
#pragma once

#include <cstdint>

#include "base/basic_string.h"
#include "base/string_list.h"

namespace noviq::platform {

// What the service does, called by the host.
class ServiceEvents {
public:
    // On the service's main thread: runs the service with the manager's start parameters
    // (Windows: the service name first) and returns its exit status: 0 for a clean stop,
    // Java's status, or -1 for the launcher's own failure.
    virtual int32_t serviceMain(const StringList& startParameters) = 0;
    // On a new thread for each stop request: `signal` is the signal that asked (Linux), 0
    // for the manager's stop or shutdown control (Windows).
    virtual void stopRequested(int32_t signal) = 0;
    // The manager refused a state report (Windows; `error` is the system's code): the first
    // one, and the service does not run; a stop-pending one, and the stop is not made.
    virtual void statusNotReported(uint32_t error) = 0;

protected:
    ~ServiceEvents() = default;
};

class ServiceHost {
public:
    ServiceHost() = default;
    ServiceHost(const ServiceHost&) = delete;
    ServiceHost& operator=(const ServiceHost&) = delete;

    // Connects to the manager and serves until the service has stopped. The process exit
    // code: the dispatcher's error when the manager did not start this process (Windows),
    // else 0 on Windows and the service's status on Linux. `stopWaitHint`: the milliseconds
    // a stop may take (Windows: the stop-pending wait hint); 0 when it has no bound.
    int32_t runDispatcher(ServiceEvents& events, uint32_t stopWaitHint);

    // The error lines no event source took, because the system never started this process
    // as a service (Windows: a console start); they are forgotten here.
    StringList takeUndeliveredErrors();

    // The JVM options a service needs on this system before the INI file's own (Linux:
    // "-Xrs", so that the JVM leaves SIGTERM and SIGINT to the launcher).
    static const char* const* serviceJvmOptions();

    // State reports; each is sent at most once in the service's life, and none after
    // reportStopped.
    void reportReady();       // main has been entered
    void reportStopPending(); // a stop request arrived; repeated requests refresh it
    void reportStopped(int32_t status);

    // An error line of the launcher, where the system keeps a service's errors.
    void logError(const WideString& line);

private:
    struct State;
    State* state_ = nullptr;
};

} // namespace noviq::platform
