// Windows path conventions.
#include "platform/path_style.h"

namespace noviq::platform {

const char16_t kPathSeparator = u'\\';
const bool kExecutablesMayLackExtension = false;

} // namespace noviq::platform
