// The system's side of single-instance coordination: which start of an executable is the
// first, how a later start hands it a request (a fixed-size area of bytes) and waits for the
// reply, and how the first instance serves each request on a thread of its own once it is
// ready. Windows: a named shared block, a registered thread message, a named ready event and
// a named mutex that queues later starts. Linux: a Unix socket (a file in the user's private
// runtime folder, else an abstract name), one connection per request, whose end tells that the
// first instance ended.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "base/basic_string.h"

namespace noviq::platform {

// The bytes of one request (the same as the core's argument area).
inline constexpr size_t kInstanceRequestBytes = 1040;

// Sends the reply of one request; at most once.
class InstanceReply {
public:
    virtual void send(int32_t code) = 0;

protected:
    ~InstanceReply() = default;
};

// Serves one request on a thread of its own, after signalReady(). The area is a copy owned
// by that thread. A handler that does not reply leaves the later start waiting for the first
// instance's end.
using InstanceRequestHandler =
    std::function<void(const unsigned char (&area)[kInstanceRequestBytes], InstanceReply& reply)>;

enum class InstanceRole {
    Only,  // no coordination (it could not be set up): an ordinary start
    First, // runs the application and serves requests
    Later, // hands its request to the first instance
};

class InstanceChannel {
public:
    InstanceChannel() = default;
    ~InstanceChannel();
    InstanceChannel(const InstanceChannel&) = delete;
    InstanceChannel& operator=(const InstanceChannel&) = delete;

    // Takes this start's role among the starts of the executable at `executablePath` (by the
    // same user). A first instance starts listening; its handler runs for every request. A
    // first instance that cannot be reached in bounded time (an object or name another program
    // holds) makes an ordinary start.
    InstanceRole open(const WideString& executablePath, InstanceRequestHandler handler);

    // First instance: requests may be served from now on (main is about to be called).
    void signalReady();

    // Later start: hands the request over and waits for its reply, without limit: a request
    // the first instance leaves unanswered waits for that instance's end. Then, the first
    // instance's exit code where the system tells it (Windows), else -1.
    int32_t handOver(const unsigned char (&area)[kInstanceRequestBytes]);

    // First instance: stops listening. Requests still being served finish on their threads.
    void close();

private:
    struct State;
    State* state_ = nullptr;
};

} // namespace noviq::platform
