// Running the launcher as a service: attaches to the Launcher and runs the dispatcher.
#pragma once

#include <cstdint>

namespace noviq {

class Launcher;

class ServiceModule {
public:
    // Takes the launcher for the service's thread; false when service mode is unavailable.
    bool attach(Launcher& launcher);
    int32_t runDispatcher();

private:
    Launcher* launcher_ = nullptr;
};

} // namespace noviq
