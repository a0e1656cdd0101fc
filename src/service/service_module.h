// Running the launcher as a service: the dispatcher, and the application it runs and stops.
#pragma once

#include <cstdint>

#include "base/string_list.h"

namespace noviq {

// What a service runs: the application with the service's start parameters, and the stop
// request from the service manager.
class ServiceApplication {
public:
    virtual int32_t run(const StringList& startParameters) = 0;
    virtual void stop() = 0;

protected:
    ~ServiceApplication() = default;
};

class ServiceModule {
public:
    // Takes the application for the service's thread; false when service mode is
    // unavailable.
    bool attach(ServiceApplication& application, bool omitServiceName);
    int32_t runDispatcher();

private:
    ServiceApplication* application_ = nullptr;
};

} // namespace noviq
