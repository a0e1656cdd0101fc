// Linux: single-instance coordination over an abstract Unix socket named from the user id and
// a digest of the executable's path. Whoever binds the name is the first instance; the kernel
// drops the name when that process dies, however it dies, so a later start never meets a
// stale one. Each request is one connection: the area, then a 4-byte reply; end of file
// instead of a reply means the first instance died. Both ends check that the peer is the
// same user, so two users never coordinate and nobody else can receive the arguments.
#include "platform/instance_channel.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <pthread.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include "platform/text.h"

namespace noviq::platform {

namespace {

// Ready signal and handler, shared with request threads that may outlive the channel.
struct Shared {
    InstanceRequestHandler handler;
    pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
    pthread_cond_t changed = PTHREAD_COND_INITIALIZER;
    bool ready = false;
};

std::string socketName(const WideString& executablePath) {
    const NarrowString path = narrow(executablePath);
    // Two FNV-1a digests with different offsets: 128 bits keep two paths apart.
    uint64_t a = 14695981039346656037ull, b = 0x6c62272e07bb0142ull;
    for (int32_t i = 0; i < path.length(); ++i) {
        const auto byte = static_cast<unsigned char>(path.c_str()[i]);
        a = (a ^ byte) * 1099511628211ull;
        b = (b ^ byte) * 1099511628211ull;
    }
    char name[96];
    std::snprintf(name, sizeof name, "noviq-instance-%u-%016llx%016llx",
                  static_cast<unsigned>(getuid()), static_cast<unsigned long long>(a),
                  static_cast<unsigned long long>(b));
    return name;
}

socklen_t abstractAddress(const std::string& name, sockaddr_un& address) {
    std::memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    // A leading zero byte puts the name in the abstract namespace: no file, no leftovers.
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
}

bool peerIsThisUser(int fd) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 &&
           credentials.uid == getuid();
}

bool readAll(int fd, unsigned char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = recv(fd, data, size, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool writeAll(int fd, const unsigned char* data, size_t size) {
    while (size > 0) {
        // MSG_NOSIGNAL: a peer that is gone must not end this process with SIGPIPE.
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

class SocketReply final : public InstanceReply {
public:
    explicit SocketReply(int fd) : fd_(fd) {}
    void send(int32_t code) override {
        if (sent_)
            return;
        sent_ = true;
        const auto value = static_cast<uint32_t>(code);
        const unsigned char bytes[4] = {
            static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
            static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
        writeAll(fd_, bytes, sizeof bytes);
    }

private:
    int fd_;
    bool sent_ = false;
};

struct Request {
    std::shared_ptr<Shared> shared;
    int fd;
};

void* serveRequest(void* argument) {
    std::unique_ptr<Request> request(static_cast<Request*>(argument));
    unsigned char area[kInstanceRequestBytes];
    if (readAll(request->fd, area, sizeof area)) {
        Shared& shared = *request->shared;
        pthread_mutex_lock(&shared.lock);
        while (!shared.ready)
            pthread_cond_wait(&shared.changed, &shared.lock);
        pthread_mutex_unlock(&shared.lock);
        SocketReply reply(request->fd);
        shared.handler(area, reply);
    }
    close(request->fd);
    return nullptr;
}

struct Listener {
    std::shared_ptr<Shared> shared;
    int fd;
};

void* acceptRequests(void* argument) {
    const Listener* state = static_cast<const Listener*>(argument);
    for (;;) {
        const int fd = accept4(state->fd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return nullptr; // the channel was closed
        }
        // A client that sends less than a request must not hold a thread for ever.
        const timeval timeout{10, 0};
        setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        pthread_t thread;
        auto* request = new Request{state->shared, fd};
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
        pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
        if (!peerIsThisUser(fd) ||
            pthread_create(&thread, &attributes, serveRequest, request) != 0) {
            close(fd);
            delete request;
        }
        pthread_attr_destroy(&attributes);
    }
}

} // namespace

struct InstanceChannel::State {
    std::shared_ptr<Shared> shared = std::make_shared<Shared>();
    Listener listener{shared, -1};
    pthread_t listenerThread{};
    bool listening = false;
    int requestFd = -1;
};

InstanceChannel::~InstanceChannel() {
    close();
    if (state_ && state_->requestFd >= 0)
        ::close(state_->requestFd);
    delete state_;
}

InstanceRole InstanceChannel::open(const WideString& executablePath,
                                   InstanceRequestHandler handler) {
    delete state_;
    state_ = new State;
    state_->shared->handler = std::move(handler);
    sockaddr_un address;
    const socklen_t length = abstractAddress(socketName(executablePath), address);
    // The first instance binds before it listens: a later start that meets the name in
    // between tries again, for a second at most.
    for (int attempt = 0; attempt < 100; ++attempt) {
        const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return InstanceRole::Only;
        if (bind(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
            state_->listener.fd = fd;
            if (listen(fd, SOMAXCONN) == 0 &&
                pthread_create(&state_->listenerThread, nullptr, acceptRequests,
                               &state_->listener) == 0) {
                state_->listening = true;
                return InstanceRole::First;
            }
            ::close(fd);
            state_->listener.fd = -1;
            return InstanceRole::Only;
        }
        if (errno == EADDRINUSE &&
            connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
            if (!peerIsThisUser(fd)) { // another user holds the name: no coordination
                ::close(fd);
                return InstanceRole::Only;
            }
            state_->requestFd = fd;
            return InstanceRole::Later;
        }
        ::close(fd);
        const timespec pause{0, 10 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    return InstanceRole::Only;
}

void InstanceChannel::signalReady() {
    if (!state_)
        return;
    Shared& shared = *state_->shared;
    pthread_mutex_lock(&shared.lock);
    shared.ready = true;
    pthread_cond_broadcast(&shared.changed);
    pthread_mutex_unlock(&shared.lock);
}

int32_t InstanceChannel::handOver(const unsigned char (&area)[kInstanceRequestBytes]) {
    if (!state_ || state_->requestFd < 0 || !writeAll(state_->requestFd, area, sizeof area))
        return -1;
    unsigned char reply[4];
    if (!readAll(state_->requestFd, reply, sizeof reply))
        return -1; // the first instance ended without a reply
    return static_cast<int32_t>(uint32_t{reply[0]} | uint32_t{reply[1]} << 8 |
                                uint32_t{reply[2]} << 16 | uint32_t{reply[3]} << 24);
}

void InstanceChannel::close() {
    if (!state_ || !state_->listening)
        return;
    // Wakes the listener out of accept; requests already taken finish on their threads.
    shutdown(state_->listener.fd, SHUT_RDWR);
    pthread_join(state_->listenerThread, nullptr);
    ::close(state_->listener.fd);
    state_->listener.fd = -1;
    state_->listening = false;
}

} // namespace noviq::platform
