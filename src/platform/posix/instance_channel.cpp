// Linux: single-instance coordination over a Unix socket named from the effective user id and a
// digest of the executable's path. The socket is a file in $XDG_RUNTIME_DIR when that folder is
// the user's own (a directory owned by the effective uid, no access for group or others):
// nobody else can put a socket there. Without such a folder it is an abstract name, which any
// user can bind first, so every step of a later start until its request is sent is bounded; a
// name it cannot reach in time gives an ordinary start, as another user's socket does.
// Whoever binds the name is the first instance. Each request is one connection: the area, then
// a 4-byte reply. A request that gets no reply keeps its connection open until the first
// instance's process ends, so end of file means that the first instance ended. Both ends check
// that the peer is the same user, so two users never coordinate and nobody else can receive
// the arguments.
#include "platform/instance_channel.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <pthread.h>
#include <string>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <time.h>
#include <unistd.h>

#include "platform/posix/scoped_resource.h"
#include "platform/text.h"

namespace noviq::platform {

using posix::ScopedFd;

namespace {

// How long a later start may take to reach the first instance and hand its request over.
constexpr int kLaterStartBoundMs = 2000;
// How long the first instance waits for a request's bytes, and for its reply to leave.
constexpr int kRequestBoundMs = 10000;

// Ready signal and handler, shared with request threads that may outlive the channel.
struct Shared {
    InstanceRequestHandler handler;
    pthread_mutex_t lock = PTHREAD_MUTEX_INITIALIZER;
    pthread_cond_t changed = PTHREAD_COND_INITIALIZER;
    bool ready = false;
};

struct Address {
    sockaddr_un address{};
    socklen_t length = 0;
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&address); }
};

void sleepMs(long milliseconds) {
    const timespec duration{0, milliseconds * 1000 * 1000};
    nanosleep(&duration, nullptr);
}

class Deadline {
public:
    explicit Deadline(int milliseconds) : end_(now() + milliseconds) {}
    int remainingMs() const {
        const long long left = end_ - now();
        return left > 0 ? static_cast<int>(left) : 0;
    }

private:
    static long long now() {
        timespec t{};
        clock_gettime(CLOCK_MONOTONIC, &t);
        return static_cast<long long>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
    }
    long long end_;
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
                  static_cast<unsigned>(geteuid()), static_cast<unsigned long long>(a),
                  static_cast<unsigned long long>(b));
    return name;
}

Address abstractAddress(const std::string& name) {
    Address result;
    result.address.sun_family = AF_UNIX;
    // A leading zero byte puts the name in the abstract namespace: no file, no leftovers.
    std::memcpy(result.address.sun_path + 1, name.data(), name.size());
    result.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    return result;
}

// The socket file in the folder held open as `folder`, named through that descriptor: the
// folder checked is the folder used, whatever happens to its path meanwhile.
bool fileAddress(int folder, const std::string& name, Address& result) {
    result.address.sun_family = AF_UNIX;
    const int n = std::snprintf(result.address.sun_path, sizeof result.address.sun_path,
                                "/proc/self/fd/%d/%s", folder, name.c_str());
    result.length = sizeof result.address;
    return n > 0 && static_cast<size_t>(n) < sizeof result.address.sun_path;
}

// $XDG_RUNTIME_DIR when it is this user's own folder, opened without following a link, or
// nothing: another user must not be able to put a socket or a link there.
ScopedFd privateRuntimeFolder() {
    const char* path = std::getenv("XDG_RUNTIME_DIR");
    if (!path || path[0] != '/')
        return ScopedFd();
    ScopedFd folder(open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat status {};
    if (!folder || fstat(folder.get(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != geteuid() || (status.st_mode & 077) != 0)
        return ScopedFd();
    return folder;
}

ScopedFd newSocket() {
    return ScopedFd(socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
}

void setSendTimeout(int fd, int milliseconds) {
    // Bounds connect() as well: a Unix socket waits there while the listener's queue is full.
    const timeval timeout{milliseconds / 1000, (milliseconds % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

// 0, or why the connection was not made (EAGAIN: the listener's queue stayed full).
int connectWithin(int fd, const Address& address, const Deadline& deadline) {
    for (;;) {
        const int remaining = deadline.remainingMs();
        if (remaining == 0)
            return EAGAIN;
        setSendTimeout(fd, remaining);
        if (connect(fd, address.get(), address.length) == 0)
            return 0;
        if (errno != EINTR)
            return errno;
    }
}

bool peerIsThisUser(int fd) {
    ucred credentials{};
    socklen_t size = sizeof credentials;
    return getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 &&
           credentials.uid == geteuid();
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

void sendCode(int fd, int32_t code) {
    const auto value = static_cast<uint32_t>(code);
    const unsigned char bytes[4] = {
        static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
        static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    writeAll(fd, bytes, sizeof bytes);
}

class SocketReply final : public InstanceReply {
public:
    explicit SocketReply(int fd) : fd_(fd) {}
    void send(int32_t code) override {
        if (sent_)
            return;
        sent_ = true;
        sendCode(fd_, code);
    }
    bool sent() const { return sent_; }

private:
    int fd_;
    bool sent_ = false;
};

struct Request {
    std::shared_ptr<Shared> shared;
    ScopedFd fd;
};

void* serveRequest(void* argument) {
    std::unique_ptr<Request> request(static_cast<Request*>(argument));
    unsigned char area[kInstanceRequestBytes];
    if (!readAll(request->fd.get(), area, sizeof area))
        return nullptr;
    Shared& shared = *request->shared;
    pthread_mutex_lock(&shared.lock);
    while (!shared.ready)
        pthread_cond_wait(&shared.changed, &shared.lock);
    pthread_mutex_unlock(&shared.lock);
    SocketReply reply(request->fd.get());
    shared.handler(area, reply);
    // Without a reply the later start waits for this process's end, when the kernel closes
    // the connection; closing it now would tell it that this instance is gone.
    if (!reply.sent())
        request->fd.release();
    return nullptr;
}

struct Listener {
    std::shared_ptr<Shared> shared;
    int fd;
};

void* acceptRequests(void* argument) {
    const Listener* state = static_cast<const Listener*>(argument);
    for (;;) {
        ScopedFd fd(accept4(state->fd, nullptr, nullptr, SOCK_CLOEXEC));
        if (!fd) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return nullptr; // the channel was closed
        }
        if (!peerIsThisUser(fd.get()))
            continue;
        // A client that sends less than a request, or takes no reply, must not hold a thread
        // for ever.
        const timeval timeout{kRequestBoundMs / 1000, 0};
        setsockopt(fd.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        setSendTimeout(fd.get(), kRequestBoundMs);
        auto request = std::make_unique<Request>(Request{state->shared, std::move(fd)});
        pthread_t thread;
        pthread_attr_t attributes;
        pthread_attr_init(&attributes);
        pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
        if (pthread_create(&thread, &attributes, serveRequest, request.get()) == 0)
            request.release();
        else
            sendCode(request->fd.get(), -1); // answered at once: nothing will serve it
        pthread_attr_destroy(&attributes);
    }
}

// Takes the runtime folder's lock, which one start at a time holds while it decides between
// connecting and binding, and gives it up on destruction; unheld when the deadline passed.
class FolderLock {
public:
    FolderLock(int folder, const Deadline& deadline) : folder_(folder) {
        while (flock(folder, LOCK_EX | LOCK_NB) != 0) {
            if ((errno != EWOULDBLOCK && errno != EINTR) || deadline.remainingMs() == 0)
                return;
            sleepMs(5);
        }
        held_ = true;
    }
    ~FolderLock() {
        if (held_)
            flock(folder_, LOCK_UN);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;
    bool held() const { return held_; }

private:
    int folder_;
    bool held_ = false;
};

} // namespace

struct InstanceChannel::State {
    std::shared_ptr<Shared> shared = std::make_shared<Shared>();
    ScopedFd listenerFd;
    Listener listener{shared, -1};
    pthread_t listenerThread{};
    bool listening = false;
    ScopedFd requestFd; // a later start's connection
    ScopedFd folder;    // the first instance's runtime folder, when its socket is a file there
    std::string fileName;

    bool listenOn(ScopedFd fd) {
        listener.fd = fd.get();
        if (listen(fd.get(), SOMAXCONN) != 0 ||
            pthread_create(&listenerThread, nullptr, acceptRequests, &listener) != 0)
            return false;
        listenerFd = std::move(fd);
        listening = true;
        return true;
    }
    InstanceRole connected(ScopedFd fd) {
        if (!peerIsThisUser(fd.get())) // another user holds the name: no coordination
            return InstanceRole::Only;
        requestFd = std::move(fd);
        return InstanceRole::Later;
    }
    InstanceRole openInFolder(ScopedFd folderFd, const std::string& name, const Deadline& deadline);
    InstanceRole openAbstract(const std::string& name, const Deadline& deadline);
};

InstanceRole InstanceChannel::State::openInFolder(ScopedFd folderFd, const std::string& name,
                                                  const Deadline& deadline) {
    Address address;
    if (!fileAddress(folderFd.get(), name, address))
        return InstanceRole::Only;
    // Under the lock a file nobody listens on is left over (a first instance that crashed):
    // the socket of a start that is binding listens before the lock is given up.
    const FolderLock lock(folderFd.get(), deadline);
    ScopedFd fd = newSocket();
    if (!lock.held() || !fd)
        return InstanceRole::Only;
    const int error = connectWithin(fd.get(), address, deadline);
    if (error == 0)
        return connected(std::move(fd));
    if (error != ECONNREFUSED && error != ENOENT)
        return InstanceRole::Only; // a listener that takes no connections, say
    unlinkat(folderFd.get(), name.c_str(), 0);
    fd = newSocket();
    if (!fd || bind(fd.get(), address.get(), address.length) != 0)
        return InstanceRole::Only;
    if (!listenOn(std::move(fd))) {
        unlinkat(folderFd.get(), name.c_str(), 0);
        return InstanceRole::Only;
    }
    folder = std::move(folderFd);
    fileName = name;
    return InstanceRole::First;
}

InstanceRole InstanceChannel::State::openAbstract(const std::string& name,
                                                  const Deadline& deadline) {
    const Address address = abstractAddress(name);
    for (;;) {
        ScopedFd fd = newSocket();
        if (!fd)
            return InstanceRole::Only;
        if (bind(fd.get(), address.get(), address.length) == 0)
            return listenOn(std::move(fd)) ? InstanceRole::First : InstanceRole::Only;
        if (errno != EADDRINUSE)
            return InstanceRole::Only;
        const int error = connectWithin(fd.get(), address, deadline);
        if (error == 0)
            return connected(std::move(fd));
        // Refused: the first instance binds before it listens, so try again. Anything else
        // (the holder's queue stayed full: it takes no connections) makes an ordinary start.
        if (error != ECONNREFUSED || deadline.remainingMs() == 0)
            return InstanceRole::Only;
        sleepMs(10);
    }
}

InstanceChannel::~InstanceChannel() {
    close();
    delete state_;
}

InstanceRole InstanceChannel::open(const WideString& executablePath,
                                   InstanceRequestHandler handler) {
    close();
    delete state_;
    state_ = new State;
    state_->shared->handler = std::move(handler);
    const std::string name = socketName(executablePath);
    const Deadline deadline(kLaterStartBoundMs);
    if (ScopedFd folder = privateRuntimeFolder())
        return state_->openInFolder(std::move(folder), name, deadline);
    return state_->openAbstract(name, deadline);
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
    if (!state_ || !state_->requestFd)
        return -1;
    const int fd = state_->requestFd.get();
    setSendTimeout(fd, kLaterStartBoundMs);
    if (!writeAll(fd, area, sizeof area))
        return -1;
    // No bound here: the reply comes when secondaryMain has answered, or never, and then the
    // connection ends with the first instance.
    unsigned char reply[4];
    if (!readAll(fd, reply, sizeof reply))
        return -1; // the first instance ended without a reply
    return static_cast<int32_t>(uint32_t{reply[0]} | uint32_t{reply[1]} << 8 |
                                uint32_t{reply[2]} << 16 | uint32_t{reply[3]} << 24);
}

void InstanceChannel::close() {
    if (!state_ || !state_->listening)
        return;
    State& s = *state_;
    // The file first, while the socket still listens: no other start takes a listening socket
    // for a leftover, so the file removed is still this one's.
    if (s.folder)
        unlinkat(s.folder.get(), s.fileName.c_str(), 0);
    // Wakes the listener out of accept; requests already taken finish on their threads.
    shutdown(s.listenerFd.get(), SHUT_RDWR);
    pthread_join(s.listenerThread, nullptr);
    s.listenerFd.reset();
    s.listener.fd = -1;
    s.folder.reset();
    s.listening = false;
}

} // namespace noviq::platform
