// Single-instance coordination: the role of this start, and the requests in both directions.
#include "launcher/single_instance.h"

#include "common/instance_arguments.h"
#include "common/messages.h"

namespace noviq {

static_assert(kInstanceAreaBytes == platform::kInstanceRequestBytes,
              "a request carries exactly the argument area");

void SingleInstance::setup(const WideString& executablePath, bool enabled,
                           InstanceRequestHandler& handler) {
    role_ = Role::Only;
    if (!enabled)
        return;
    auto serve = [&handler](const unsigned char(&area)[kInstanceAreaBytes],
                            platform::InstanceReply& reply) {
        handler.serve(decodeInstanceArguments(area), reply);
    };
    switch (channel_.open(executablePath, serve)) {
    case platform::InstanceRole::First:
        role_ = Role::First;
        break;
    case platform::InstanceRole::Later:
        role_ = Role::Later;
        break;
    case platform::InstanceRole::Only:
        break;
    }
}

int32_t SingleInstance::handOver(const StringList& arguments) {
    unsigned char area[kInstanceAreaBytes];
    if (!encodeInstanceArguments(arguments, area)) {
        ReportMessage(MessageId::InstanceArgumentsTooLong);
        return -1;
    }
    return channel_.handOver(area);
}

void SingleInstance::signalReady() {
    if (role_ == Role::First)
        channel_.signalReady();
}

void SingleInstance::shutdown() {
    if (role_ == Role::First)
        channel_.close();
}

} // namespace noviq
