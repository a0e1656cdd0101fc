// Service mode is not available yet: attaching fails, so a service start ends with -1.
#include "service/service_module.h"

namespace noviq {

bool ServiceModule::attach(ServiceApplication&, bool) {
    return false;
}

int32_t ServiceModule::runDispatcher() {
    return -1;
}

} // namespace noviq
