// Coordination between starts of the same executable: whether this start runs the
// application or hands its arguments to the one already running.
#pragma once

#include <cstdint>

#include "base/basic_string.h"
#include "base/string_list.h"

namespace noviq {

class SingleInstance {
public:
    enum class Role { Only, First, Later };

    // Decides this start's role. False when the coordination cannot be set up.
    bool setup(const WideString& executablePath);
    Role role() const { return role_; }

    // A later start: hands the arguments to the first one and returns its reply.
    int32_t handOver(const StringList& arguments);

    // The first start: main is about to be called, requests may be served.
    void signalReady();

private:
    Role role_ = Role::Only;
};

} // namespace noviq
