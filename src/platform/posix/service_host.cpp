// Linux: the service host is a foreground daemon. SIGTERM, SIGINT and SIGHUP (a service
// started from a terminal that closes would otherwise die without its shutdown hooks) are
// blocked before any
// other thread exists (every thread inherits the mask, the JVM's included, which runs with
// -Xrs) and taken by one sigwait thread as stop requests. When NOTIFY_SOCKET is set, the
// state goes to systemd as notify datagrams. Error lines go to standard error, which the
// journal keeps.
#include "platform/service_host.h"

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/console.h"
#include "platform/text.h"
#include "platform/threads.h"

namespace noviq::platform {

// Lives as long as the process: the signal thread never ends.
struct ServiceHost::State {
    Mutex lock; // the reports come from several threads
    bool stopped = false;
};

namespace {

struct StopRequest {
    ServiceEvents* events;
    int32_t signal;
};

// One datagram to $NOTIFY_SOCKET ("@name" is an abstract socket); nothing without it. Never
// waits: a receiver whose queue is full loses the datagram rather than holding up the service
// (the stop request above all).
void notify(const std::string& message) {
    const char* target = std::getenv("NOTIFY_SOCKET");
    if (!target || !*target || std::strlen(target) >= sizeof(sockaddr_un::sun_path))
        return;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, target);
    if (address.sun_path[0] == '@')
        address.sun_path[0] = '\0';
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return;
    sendto(fd, message.data(), message.size(), MSG_NOSIGNAL | MSG_DONTWAIT,
           reinterpret_cast<sockaddr*>(&address),
           static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + std::strlen(target)));
    close(fd);
}

uint32_t requestStop(void* argument) {
    const StopRequest* request = static_cast<const StopRequest*>(argument);
    request->events->stopRequested(request->signal);
    delete request;
    return 0;
}

struct SignalTaker {
    ServiceEvents* events;
    sigset_t signals;
};

uint32_t takeSignals(void* argument) {
    const SignalTaker* taker = static_cast<const SignalTaker*>(argument);
    for (;;) {
        int signal = 0;
        if (sigwait(&taker->signals, &signal) != 0)
            continue;
        // Each request on a thread of its own: this one goes on taking signals.
        auto* request = new StopRequest{taker->events, signal};
        if (!startDetachedThread(requestStop, request))
            delete request;
    }
}

} // namespace

int32_t ServiceHost::runDispatcher(ServiceEvents& events, uint32_t) {
    state_ = new State;
    auto* taker = new SignalTaker{&events, {}};
    sigemptyset(&taker->signals);
    sigaddset(&taker->signals, SIGTERM);
    sigaddset(&taker->signals, SIGINT);
    sigaddset(&taker->signals, SIGHUP);
    // Before any other thread exists, so that every thread (the JVM's too) inherits it.
    pthread_sigmask(SIG_BLOCK, &taker->signals, nullptr);
    startDetachedThread(takeSignals, taker);
    notify("STATUS=Starting");
    return events.serviceMain(StringList());
}

const char* const* ServiceHost::serviceJvmOptions() {
    static const char* const options[] = {"-Xrs", nullptr};
    return options;
}

// Each report is decided under the lock and sent outside it, so that no thread waits for
// another's datagram; one decided just before reportStopped may still arrive after it.
void ServiceHost::reportReady() {
    {
        MutexLock hold(state_->lock);
        if (state_->stopped)
            return;
    }
    notify("READY=1\nSTATUS=Running");
}

void ServiceHost::reportStopPending() {
    {
        MutexLock hold(state_->lock);
        if (state_->stopped)
            return;
    }
    notify("STOPPING=1\nSTATUS=Stopping");
}

void ServiceHost::reportStopped(int32_t status) {
    {
        MutexLock hold(state_->lock);
        if (state_->stopped)
            return;
        state_->stopped = true;
    }
    notify("STATUS=Stopped with exit status " + std::to_string(status));
}

// Error lines go to standard error, the journal's, at once: none is ever kept back.
StringList ServiceHost::takeUndeliveredErrors() {
    return StringList();
}

void ServiceHost::logError(const WideString& line) {
    const NarrowString bytes = narrow(line);
    writeStandardError(bytes.c_str(), bytes.length());
}

} // namespace noviq::platform
