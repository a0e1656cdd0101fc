// Coordination between starts of the same executable: the first runs the application, every
// later one hands its arguments to it, waits, and ends with the reply.
#pragma once

#include <cstdint>

#include "base/basic_string.h"
#include "base/string_list.h"
#include "platform/instance_channel.h"

namespace noviq {

// What serves a request in the first instance: the later start's arguments, and its reply
// (sent at most once; none leaves the later start waiting for the first instance's end).
class InstanceRequestHandler {
public:
    virtual void serve(const StringList& arguments, platform::InstanceReply& reply) = 0;

protected:
    ~InstanceRequestHandler() = default;
};

class SingleInstance {
public:
    enum class Role { Only, First, Later };

    // Decides this start's role among the starts of the executable; without `enabled`, or
    // when coordination cannot be set up, the start is an ordinary one.
    void setup(const WideString& executablePath, bool enabled, InstanceRequestHandler& handler);
    Role role() const { return role_; }

    // A later start: hands the arguments to the first one and returns its reply. Arguments
    // too long for a request are reported and give -1.
    int32_t handOver(const StringList& arguments);

    // The first start: main is about to be called; requests are served from now on.
    void signalReady();

    // The first start: no more requests are taken.
    void shutdown();

private:
    platform::InstanceChannel channel_;
    Role role_ = Role::Only;
};

} // namespace noviq
