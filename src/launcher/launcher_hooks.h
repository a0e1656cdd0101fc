// Receiver of the JVM's exit and abort hooks (the service module in service mode).
#pragma once

#include <cstdint>

namespace noviq {

class LauncherHooks {
public:
    virtual void onExit(int32_t code) = 0;
    virtual void onAbort() = 0;

protected:
    ~LauncherHooks() = default;
};

} // namespace noviq
