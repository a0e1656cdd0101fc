// Single-instance coordination is not available yet: every start runs the application.
#include "launcher/single_instance.h"

namespace noviq {

bool SingleInstance::setup(const WideString&) {
    role_ = Role::Only;
    return true;
}

int32_t SingleInstance::handOver(const StringList&) {
    return -1;
}

void SingleInstance::signalReady() {}

} // namespace noviq
