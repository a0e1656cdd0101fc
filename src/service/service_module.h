// Running the launcher as a service: the application it runs and stops, the order of the
// service's states, and where its errors go.
#pragma once

#include <atomic>
#include <cstdint>

#include "base/string_list.h"
#include "common/messages.h"
#include "jvm/jvm_session.h"
#include "platform/service_host.h"

namespace noviq {

// What the application tells the service while it starts.
class ServiceProgress {
public:
    // The JVM (or the paired program) is about to be started. False: a stop came first; the
    // start is cancelled.
    virtual bool mayCreateJvm() = 0;
    // main is about to be called (or the paired program has been started).
    virtual void mainEntered() = 0;

protected:
    ~ServiceProgress() = default;
};

// What a service runs.
class ServiceApplication {
public:
    // Runs the application to its end, the JVM destroyed (its non-daemon threads done): the
    // start parameters follow the command-line arguments, the extra JVM options come first.
    // 0 for a clean stop (also when the start was cancelled), Java's exit status, 1 after an
    // uncaught exception, -1 for the launcher's own failure.
    virtual int32_t runService(const StringList& startParameters,
                               const NarrowStringList& extraJvmOptions,
                               ServiceProgress& progress) = 0;
    // Calls the stop method on the calling thread; false when there is none (no JVM, or no
    // such method). It may throw, hang, or leave the application running.
    virtual bool callStop() = 0;
    // Ends Java with the status, shutdown hooks included.
    virtual void exitJava(int32_t status) = 0;

protected:
    ~ServiceApplication() = default;
};

class ServiceModule final : private platform::ServiceEvents,
                            private ServiceProgress,
                            private JvmExitHooks,
                            private ErrorLineSink {
public:
    // From now on the launcher's error lines go where the system keeps a service's errors.
    void captureErrors();

    // Runs the service until it has stopped and returns the process exit code. `started`
    // false: the start already failed (and said why); the service reports that failure.
    // `stopTimeout`: the seconds a stop method is given before Java is ended (0: no bound).
    int32_t run(ServiceApplication& application, bool started, bool omitServiceName,
                uint32_t stopTimeout);

    // Once Java has been asked to end, the seconds until the process is ended regardless.
    static constexpr uint32_t kExitGraceSeconds = 5;

private:
    enum Phase : int32_t { NotStarted, Cancelled, Creating, CreatingStopRequested, MainEntered };

    int32_t serviceMain(const StringList& startParameters) override;
    void stopRequested(int32_t signal) override;
    bool mayCreateJvm() override;
    void mainEntered() override;
    void onExit(int32_t code) override;
    void onAbort() override;
    void write(const WideString& line) override;
    void statusNotReported(uint32_t error) override;
    void stop();
    void stopped(int32_t status);
    // Ends Java with System.exit on the calling thread, and the process kExitGraceSeconds
    // later if it is still there; once per process.
    void endJava();
    int32_t endStatus() const;
    static uint32_t stopLater(void* module);
    static uint32_t endAfterTimeout(void* module);
    static uint32_t endProcessAfterGrace(void* module);

    platform::ServiceHost host_;
    ErrorLineSink* previousSink_ = nullptr; // where error lines went before captureErrors()
    ServiceApplication* application_ = nullptr;
    bool started_ = false;
    bool omitServiceName_ = false;
    uint32_t stopTimeout_ = 0;
    std::atomic<int32_t> phase_{NotStarted};
    std::atomic<int32_t> stopSignal_{0};
    std::atomic<bool> stopMade_{false};   // the first request makes the stop, later ones wait
    std::atomic<bool> ending_{false};     // endJava() has begun
    std::atomic<bool> hasStopped_{false}; // reported stopped: nothing is left to end
};

} // namespace noviq
