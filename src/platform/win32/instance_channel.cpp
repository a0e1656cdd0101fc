// Windows: single-instance coordination through named objects whose names come from the
// executable's final path, case-folded, so every spelling of one file meets the same objects:
// a shared block (the listener's thread id, the first instance's process id, the registered
// message id and the request area), a manual-reset ready event and a mutex that lets one later
// start at a time use the area. Requests, acknowledgements and replies are thread messages.
// Objects that another process made first are used only when instance_objects.h trusts them.
#include "platform/instance_channel.h"

#include <cstring>
#include <memory>
#include <utility>

#include "common/messages.h"
#include "common/trace.h"
#include "platform/win32/instance_objects.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

namespace noviq::platform {

using namespace win32;

namespace {

// The block's layout is shared with every other start of the executable, whichever build of
// the launcher it runs: the size and offsets never change. A first start that could not set
// up the rest of its objects runs as an ordinary start and says so with kTakesNoRequests as
// its message id (registered ids lie in 0xC000-0xFFFF), so later starts need not wait for one.
struct Block {
    volatile DWORD listenerThreadId;
    volatile DWORD primaryProcessId;
    volatile DWORD messageId;
    unsigned char area[2080];
};
static_assert(sizeof(Block) == 2092 && offsetof(Block, area) == 12);
static_assert(kInstanceRequestBytes <= sizeof(Block::area));

constexpr DWORD kTakesNoRequests = 0xFFFFFFFFu;
constexpr LPARAM kReply = 0;
constexpr LPARAM kAcknowledged = 1; // the area is copied: the next later start may use it
constexpr DWORD kPublishWaitMs = 2000;
constexpr DWORD kMutexWaitMs = 30000;

// What the first instance's listener and its request threads share; request threads may
// outlive close(), so they hold it too.
struct Shared {
    InstanceRequestHandler handler;
    ScopedKernelHandle ready;
    UINT messageId = 0;
};

struct Listener {
    std::shared_ptr<Shared> shared;
    const Block* block = nullptr;
    HANDLE queueMade = nullptr;
};

struct Request {
    std::shared_ptr<Shared> shared;
    DWORD requester;
    unsigned char area[kInstanceRequestBytes];
};

class ThreadReply final : public InstanceReply {
public:
    ThreadReply(DWORD thread, UINT messageId) : thread_(thread), messageId_(messageId) {}
    void send(int32_t code) override {
        if (sent_)
            return;
        sent_ = true;
        PostThreadMessageW(thread_, messageId_, static_cast<WPARAM>(static_cast<uint32_t>(code)),
                           kReply);
    }

private:
    DWORD thread_;
    UINT messageId_;
    bool sent_ = false;
};

DWORD WINAPI serveRequest(void* argument) {
    const std::unique_ptr<Request> request(static_cast<Request*>(argument));
    WaitForSingleObject(request->shared->ready.get(), INFINITE);
    ThreadReply reply(request->requester, request->shared->messageId);
    request->shared->handler(request->area, reply);
    return 0;
}

DWORD WINAPI listenForRequests(void* argument) {
    const Listener& listener = *static_cast<const Listener*>(argument);
    MSG message;
    // A thread gets its queue on its first message call; until then posts to it fail.
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    SetEvent(listener.queueMade);
    const UINT messageId = listener.shared->messageId;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message != messageId)
            continue;
        const auto requester = static_cast<DWORD>(message.wParam);
        // Copied before anything else: the acknowledgement lets the next later start write
        // its own request over this one.
        auto* request = new Request{listener.shared, requester, {}};
        std::memcpy(request->area, listener.block->area, sizeof request->area);
        PostThreadMessageW(requester, messageId, 0, kAcknowledged);
        if (const HANDLE thread = CreateThread(nullptr, 0, serveRequest, request, 0, nullptr)) {
            CloseHandle(thread);
        } else {
            delete request; // answered at once, rather than left waiting for this process's end
            PostThreadMessageW(requester, messageId, static_cast<WPARAM>(0xFFFFFFFFu), kReply);
        }
    }
    return 0;
}

} // namespace

struct InstanceChannel::State {
    ScopedKernelHandle mapping;
    ScopedMappedView view;
    ScopedKernelHandle mutex;
    std::shared_ptr<Shared> shared = std::make_shared<Shared>();
    Listener listener;
    ScopedKernelHandle listenerThread;
    bool first = false;
    bool later = false;

    Block* block() const { return static_cast<Block*>(const_cast<void*>(view.get())); }
};

namespace {

// A named object made with `security`'s descriptor, or, when it existed already, only if it
// is trusted; otherwise nothing and `why` says why. Called right after the creating call.
ScopedKernelHandle trustedObject(HANDLE created, const InstanceObjectSecurity& security,
                                 const char16_t* what, WideString& why, bool* existed = nullptr) {
    const DWORD error = GetLastError();
    if (existed)
        *existed = error == ERROR_ALREADY_EXISTS;
    ScopedKernelHandle object(created);
    if (!object) {
        why = Format(u"the %s cannot be created (error %u)", WideString(what), uint32_t{error});
    } else if (error == ERROR_ALREADY_EXISTS) {
        if (const WideString distrust = security.distrust(object.get()); !distrust.isEmpty()) {
            why = Format(u"the %s was made by another process: %s", WideString(what), distrust);
            object.reset();
        }
    }
    return object;
}

} // namespace

InstanceChannel::~InstanceChannel() {
    close();
    delete state_;
}

InstanceRole InstanceChannel::open(const WideString& executablePath,
                                   InstanceRequestHandler handler) {
    // Nothing here is reported but in the trace: whatever fails makes an ordinary start, and
    // the error code the caller may print later is its own.
    const DWORD savedError = GetLastError();
    struct Restore {
        DWORD code;
        ~Restore() { SetLastError(code); }
    } restore{savedError};

    close();
    delete state_;
    state_ = new State;
    State& s = *state_;
    InstanceObjectSecurity security;
    if (!security.prepare()) {
        trace(u"single instance: an ordinary start, this process's token cannot be read");
        return InstanceRole::Only;
    }
    const WideString base = instanceBaseName(executablePath);
    WideString why;
    bool existed = false;
    SetLastError(ERROR_SUCCESS);
    s.mapping = trustedObject(CreateFileMappingW(INVALID_HANDLE_VALUE, security.attributes(),
                                                 PAGE_READWRITE, 0, sizeof(Block), w(base)),
                              security, u"shared block", why, &existed);
    if (!s.mapping) {
        // Not even a block of another's is touched: it is not ours to mark.
        trace(u"single instance: an ordinary start, %s", why);
        return InstanceRole::Only;
    }
    const bool first = !existed;
    s.view.reset(MapViewOfFile(s.mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Block)));
    if (!s.view)
        return InstanceRole::Only;
    Block& block = *s.block();
    auto opened = [&](const char16_t* suffix, const char16_t* what, auto create) {
        SetLastError(ERROR_SUCCESS);
        return trustedObject(create(w(base + suffix)), security, what, why);
    };
    auto mutex = [&security](const wchar_t* name) {
        return CreateMutexW(security.attributes(), FALSE, name);
    };

    if (!first) {
        // The first instance publishes the message id last, once its listener can take
        // messages; a start that races with it waits for that a little.
        for (DWORD waited = 0; block.messageId != kTakesNoRequests &&
                               (block.messageId == 0 || block.listenerThreadId == 0);
             waited += 10) {
            if (waited >= kPublishWaitMs) {
                trace(u"single instance: an ordinary start, the first instance published no "
                      u"message id");
                return InstanceRole::Only;
            }
            Sleep(10);
        }
        MemoryBarrier();
        if (block.messageId != kTakesNoRequests) {
            s.mutex = opened(u"_upr_mtx", u"request mutex", mutex);
            if (!s.mutex) {
                trace(u"single instance: an ordinary start, %s", why);
                return InstanceRole::Only;
            }
        }
        s.later = true;
        return InstanceRole::Later;
    }

    // From here on the block is this start's: whatever fails leaves it marked, so that later
    // starts end at once rather than wait for an id or run an application of their own.
    auto takesNoRequests = [&block](const WideString& reason) {
        block.messageId = kTakesNoRequests;
        trace(u"single instance: an ordinary start that takes no requests, %s", reason);
        return InstanceRole::Only;
    };
    Shared& shared = *s.shared;
    shared.handler = std::move(handler);
    shared.ready = opened(u"_upr_evt", u"ready event", [&security](const wchar_t* name) {
        return CreateEventW(security.attributes(), TRUE, FALSE, name);
    });
    if (!shared.ready)
        return takesNoRequests(why);
    // Made here, so that no other process can make it before a later start does.
    s.mutex = opened(u"_upr_mtx", u"request mutex", mutex);
    if (!s.mutex)
        return takesNoRequests(why);
    shared.messageId = RegisterWindowMessageW(w(base));
    if (shared.messageId == 0)
        return takesNoRequests(
            Format(u"no message id can be registered (error %u)", uint32_t{GetLastError()}));
    const ScopedKernelHandle queueMade(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!queueMade)
        return takesNoRequests(u"no event for the listener's start");
    s.listener = Listener{s.shared, &block, queueMade.get()};
    block.primaryProcessId = GetCurrentProcessId();
    s.listenerThread.reset(CreateThread(nullptr, 0, listenForRequests, &s.listener, 0,
                                        const_cast<DWORD*>(&block.listenerThreadId)));
    if (!s.listenerThread)
        return takesNoRequests(u"the listener thread cannot be started");
    const HANDLE started[] = {queueMade.get(), s.listenerThread.get()};
    if (WaitForMultipleObjects(2, started, FALSE, INFINITE) != WAIT_OBJECT_0)
        return takesNoRequests(u"the listener thread ended at its start");
    MemoryBarrier();
    block.messageId = shared.messageId;
    s.first = true;
    return InstanceRole::First;
}

void InstanceChannel::signalReady() {
    if (state_ && state_->first)
        SetEvent(state_->shared->ready.get());
}

int32_t InstanceChannel::handOver(const unsigned char (&area)[kInstanceRequestBytes]) {
    if (!state_ || !state_->later)
        return -1;
    Block& block = *state_->block();
    const UINT messageId = block.messageId;
    if (messageId == kTakesNoRequests) {
        ReportMessage(MessageId::InstanceTakesNoRequests);
        return -1;
    }
    MSG message;
    // The queue exists before the request leaves, or a quick reply would find no queue.
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    const ScopedKernelHandle process(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION,
                                                 FALSE, block.primaryProcessId));
    if (!process)
        return -1;
    auto exitCodeOfFirst = [&process] {
        DWORD code = 0;
        return GetExitCodeProcess(process.get(), &code) ? static_cast<int32_t>(code) : -1;
    };

    // One later start at a time writes the area, until the first instance has copied it.
    const ScopedKernelHandle& mutex = state_->mutex;
    const HANDLE turn[] = {mutex.get(), process.get()};
    switch (WaitForMultipleObjects(2, turn, FALSE, kMutexWaitMs)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED_0: // a later start that died holding it: the area is ours anyway
        break;
    case WAIT_OBJECT_0 + 1:
        return exitCodeOfFirst();
    default:
        return -1;
    }
    bool owned = true;
    auto release = [&] {
        if (std::exchange(owned, false))
            ReleaseMutex(mutex.get());
    };

    std::memcpy(block.area, area, kInstanceRequestBytes);
    if (!PostThreadMessageW(block.listenerThreadId, messageId, GetCurrentThreadId(), 0)) {
        release();
        return -1;
    }
    for (;;) {
        const DWORD woke =
            MsgWaitForMultipleObjects(1, turn + 1, FALSE, INFINITE, QS_ALLPOSTMESSAGE);
        if (woke == WAIT_FAILED) {
            release();
            return -1;
        }
        // The queue first: a reply posted just before the first instance ended still counts.
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message != messageId)
                continue;
            release();
            if (message.lParam == kReply)
                return static_cast<int32_t>(static_cast<uint32_t>(message.wParam));
        }
        if (WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0) {
            release();
            return exitCodeOfFirst();
        }
    }
}

void InstanceChannel::close() {
    if (!state_ || !state_->listenerThread)
        return;
    State& s = *state_;
    const DWORD listenerId = s.block()->listenerThreadId;
    // A post can fail while the thread has no queue yet; the wait then paces the retry.
    while (WaitForSingleObject(s.listenerThread.get(),
                               PostThreadMessageW(listenerId, WM_QUIT, 0, 0) ? INFINITE : 10) ==
           WAIT_TIMEOUT) {
    }
    s.first = false;
    s.listenerThread.reset();
    s.view.reset();
    s.mapping.reset();
}

} // namespace noviq::platform
