// Windows: single-instance coordination is not built yet; every start is an ordinary one.
#include "platform/instance_channel.h"

namespace noviq::platform {

struct InstanceChannel::State {};

InstanceChannel::~InstanceChannel() {
    delete state_;
}

InstanceRole InstanceChannel::open(const WideString&, InstanceRequestHandler) {
    return InstanceRole::Only;
}

void InstanceChannel::signalReady() {}

int32_t InstanceChannel::handOver(const unsigned char (&)[kInstanceRequestBytes]) {
    return -1;
}

void InstanceChannel::close() {}

} // namespace noviq::platform
