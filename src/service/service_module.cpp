// The service's life: report running, run the application, turn stop requests into the main
// class's stop() (or remember them until main is entered), report stopped once the JVM and
// its threads are gone.
#include "service/service_module.h"

#include "common/text.h"
#include "platform/console.h"
#include "platform/threads.h"

namespace noviq {

void ServiceModule::captureErrors() {
    previousSink_ = redirectErrorLines(this);
}

int32_t ServiceModule::run(ServiceApplication& application, bool started, bool omitServiceName) {
    application_ = &application;
    started_ = started;
    omitServiceName_ = omitServiceName;
    setJvmExitHooks(this);
    // The dispatcher runs even after a failed start, so that the manager learns the failure
    // rather than that the process never connected.
    const int32_t code = host_.runDispatcher(*this);
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
    host_.reportStopped(status);
    return status;
}

void ServiceModule::stopRequested(int32_t signal) {
    host_.reportStopPending();
    stopSignal_.store(signal);
    int32_t phase = phase_.load();
    for (;;) {
        if (phase == NotStarted && phase_.compare_exchange_weak(phase, Cancelled))
            return; // no JVM will be created
        if (phase == Creating && phase_.compare_exchange_weak(phase, CreatingStopRequested))
            return; // stopped as soon as main is entered
        if (phase == MainEntered) {
            stop(signal);
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
        stop(stopSignal_.load());
}

uint32_t ServiceModule::stopLater(void* module) {
    auto* self = static_cast<ServiceModule*>(module);
    self->stop(self->stopSignal_.load());
    return 0;
}

void ServiceModule::stop(int32_t signal) {
    // Without a stop() the application cannot be asked; a signal then ends Java as the
    // signal would have ended a plain java process, shutdown hooks included.
    if (!application_->callStop() && signal != 0)
        application_->exitJava(128 + signal);
}

void ServiceModule::onExit(int32_t code) {
    host_.reportStopped(code);
}

void ServiceModule::onAbort() {
    host_.reportStopped(-1);
}

void ServiceModule::write(const WideString& line) {
    host_.logError(line);
}

} // namespace noviq
