// Placeholder for service mode: not available yet, so a service start ends with -1.
#include "service/service_module.h"

namespace noviq {

bool ServiceModule::attach(Launcher&) { return false; }

int32_t ServiceModule::runDispatcher() { return -1; }

} // namespace noviq
