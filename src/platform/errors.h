// The system error codes the core compares against or sets, by meaning.
#pragma once

#include <cstdint>

namespace noviq::platform {

extern const uint32_t kErrorAlreadyExists;    // a folder that is already there
extern const uint32_t kErrorOutOfMemory;      // an allocation or resource set-up failed
extern const uint32_t kErrorInvalidParameter; // an argument the operation does not accept
extern const uint32_t kErrorBadImage;         // a file that is no loadable library

} // namespace noviq::platform
