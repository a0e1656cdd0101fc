// The service's life: report running, run the application, turn stop requests into the
// stop method's call (or remember them until main is entered), report stopped once the JVM
// and its threads are gone. A stop always ends the service: without a stop method Java is
// ended at once, with one after the stop timeout, and the process kExitGraceSeconds later.
#include "service/service_module.h"

#include "common/text.h"
#include "common/trace.h"
#include "platform/console.h"
#include "platform/process.h"
#include "platform/threads.h"

namespace noviq {

void ServiceModule::captureErrors() {
    previousSink_ = redirectErrorLines(this);
}

int32_t ServiceModule::run(ServiceApplication& application, bool started, bool omitServiceName,
                           uint32_t stopTimeout) {
    application_ = &application;
    started_ = started;
    omitServiceName_ = omitServiceName;
    stopTimeout_ = stopTimeout;
    setJvmExitHooks(this);
    // The dispatcher runs even after a failed start, so that the manager learns the failure
    // rather than that the process never connected. The stop may take the timeout and the
    // grace after it.
    const uint32_t stopWaitHint = stopTimeout ? (stopTimeout + kExitGraceSeconds) * 1000 : 0;
    const int32_t code = host_.runDispatcher(*this, stopWaitHint);
    setJvmExitHooks(nullptr);
    // Not started as a service, the process had no place for its errors: they go where they
    // went before, the console or the windowed launcher's message box.
    const StringList undelivered = host_.takeUndeliveredErrors();
    redirectErrorLines(previousSink_);
    for (const WideString& line : undelivered) {
        if (previousSink_) {
            previousSink_->write(line);
        } else {
            const NarrowString bytes = narrow(line);
            platform::writeStandardError(bytes.c_str(), bytes.length());
        }
    }
    return code;
}

int32_t ServiceModule::serviceMain(const StringList& startParameters) {
    if (!started_) {
        host_.reportStopped(-1);
        return -1;
    }
    StringList parameters;
    for (int32_t i = omitServiceName_ ? 1 : 0; i < startParameters.count(); ++i)
        parameters.add(startParameters[i]);
    NarrowStringList options;
    for (const char* const* option = platform::ServiceHost::serviceJvmOptions(); *option; ++option)
        options.add(*option);
    const int32_t status = application_->runService(parameters, options, *this);
    stopped(status);
    return status;
}

void ServiceModule::stopRequested(int32_t signal) {
    if (signal)
        trace(u"service: stop requested (signal %d)", signal);
    else
        trace(u"service: stop requested by the service manager");
    host_.reportStopPending();
    stopSignal_.store(signal);
    int32_t phase = phase_.load();
    for (;;) {
        if (phase == NotStarted && phase_.compare_exchange_weak(phase, Cancelled))
            return; // no JVM will be created
        if (phase == Creating && phase_.compare_exchange_weak(phase, CreatingStopRequested))
            return; // stopped as soon as main is entered
        if (phase == MainEntered) {
            stop();
            return;
        }
        if (phase == Cancelled || phase == CreatingStopRequested)
            return;
    }
}

bool ServiceModule::mayCreateJvm() {
    int32_t expected = NotStarted;
    return phase_.compare_exchange_strong(expected, Creating);
}

void ServiceModule::mainEntered() {
    host_.reportReady();
    if (phase_.exchange(MainEntered) == CreatingStopRequested &&
        !platform::startDetachedThread(stopLater, this))
        stop();
}

uint32_t ServiceModule::stopLater(void* module) {
    auto* self = static_cast<ServiceModule*>(module);
    self->stop();
    return 0;
}

void ServiceModule::stop() {
    if (stopMade_.exchange(true))
        return; // the first request's stop, and its timeout, end the service
    if (stopTimeout_ && !platform::startDetachedThread(endAfterTimeout, this)) {
        endJava();
        return;
    }
    // Without a stop method the application cannot be asked: Java ends at once, as a plain
    // java process would end, shutdown hooks included.
    if (!application_->callStop()) {
        trace(u"service: no stop method ran; Java is ended");
        endJava();
    } else {
        trace(u"service: the stop method returned");
    }
}

uint32_t ServiceModule::endAfterTimeout(void* module) {
    auto* self = static_cast<ServiceModule*>(module);
    platform::sleepMilliseconds(self->stopTimeout_ * 1000);
    if (!self->hasStopped_.load()) {
        trace(u"service: not ended %u s after the stop; Java is ended", self->stopTimeout_);
        self->endJava();
    }
    return 0;
}

int32_t ServiceModule::endStatus() const {
    // A signal's status is the one it gives a plain java process; the manager's stop is a
    // clean one.
    const int32_t signal = stopSignal_.load();
    return signal ? 128 + signal : 0;
}

void ServiceModule::endJava() {
    if (ending_.exchange(true))
        return;
    platform::startDetachedThread(endProcessAfterGrace, this);
    application_->exitJava(endStatus());
}

uint32_t ServiceModule::endProcessAfterGrace(void* module) {
    auto* self = static_cast<ServiceModule*>(module);
    platform::sleepMilliseconds(kExitGraceSeconds * 1000);
    if (self->hasStopped_.load())
        return 0;
    const int32_t status = self->endStatus();
    trace(u"service: Java has not ended %u s after System.exit; the process ends with %d",
          kExitGraceSeconds, status);
    // What the JVM was writing as it ended (a class data dump) is incomplete.
    cutOffJvmEndAction();
    self->stopped(status);
    platform::endProcessNow(static_cast<uint32_t>(status));
}

void ServiceModule::stopped(int32_t status) {
    trace(u"service: stopped, status %d", status);
    hasStopped_.store(true);
    host_.reportStopped(status);
}

void ServiceModule::onExit(int32_t code) {
    stopped(code);
}

void ServiceModule::onAbort() {
    stopped(-1);
}

void ServiceModule::statusNotReported(uint32_t error) {
    ReportError(LoadMessage(MessageId::ServiceStatusNotReported), static_cast<int32_t>(error));
}

void ServiceModule::write(const WideString& line) {
    host_.logError(line);
}

} // namespace noviq
