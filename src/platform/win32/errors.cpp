// Windows: system error codes for the meanings the core uses.
#include "platform/errors.h"

#include "platform/win32/windows_api.h"

namespace noviq::platform {

const uint32_t kErrorAlreadyExists = ERROR_ALREADY_EXISTS;
const uint32_t kErrorOutOfMemory = ERROR_OUTOFMEMORY;
const uint32_t kErrorInvalidParameter = ERROR_INVALID_PARAMETER;
const uint32_t kErrorBadImage = ERROR_BAD_EXE_FORMAT;

} // namespace noviq::platform
