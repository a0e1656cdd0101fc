// Windows: the service control manager is not connected yet; a service start ends with -1.
#include "platform/service_host.h"

namespace noviq::platform {

struct ServiceHost::State {};

int32_t ServiceHost::runDispatcher(ServiceEvents&) {
    return -1;
}

const char* const* ServiceHost::serviceJvmOptions() {
    static const char* const options[] = {nullptr};
    return options;
}

void ServiceHost::reportReady() {}

void ServiceHost::reportStopPending() {}

void ServiceHost::reportStopped(int32_t) {}

void ServiceHost::logError(const WideString&) {}

} // namespace noviq::platform
