// Linux: errno values for the meanings the core uses.
#include "platform/errors.h"

#include <cerrno>

namespace noviq::platform {

const uint32_t kErrorAlreadyExists = EEXIST;
const uint32_t kErrorOutOfMemory = ENOMEM;
const uint32_t kErrorInvalidParameter = EINVAL;
const uint32_t kErrorBadImage = ENOEXEC;

} // namespace noviq::platform
