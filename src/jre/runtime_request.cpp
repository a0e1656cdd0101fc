// The runtime-not-found text of a request.
#include "jre/runtime_request.h"

#include "common/messages.h"

namespace noviq {

WideString notFoundMessage(const RuntimeRequest& request) {
    const MessageId id =
        request.jvmType == JvmType::Server ? MessageId::JreNotFoundServer : MessageId::JreNotFound;
    return FormatById(id, request.range.describeRequirement());
}

} // namespace noviq
