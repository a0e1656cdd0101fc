// Windows: single-instance coordination through named objects whose names come from the
// executable's final path, case-folded, so every spelling of one file meets the same objects:
// a shared block (the listener's thread id, the first instance's process id, the registered
// message id and the request area), a manual-reset ready event and a mutex that lets one later
// start at a time use the area. Requests, acknowledgements and replies are thread messages.
#include "platform/instance_channel.h"

#include <cstring>
#include <memory>
#include <utility>

#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

namespace noviq::platform {

using namespace win32;

namespace {

// The block's layout is shared with every other start of the executable, whichever build of
// the launcher it runs: the size and offsets never change.
struct Block {
    volatile DWORD listenerThreadId;
    volatile DWORD primaryProcessId;
    volatile DWORD messageId;
    unsigned char area[2080];
};
static_assert(sizeof(Block) == 2092 && offsetof(Block, area) == 12);
static_assert(kInstanceRequestBytes <= sizeof(Block::area));

constexpr LPARAM kReply = 0;
constexpr LPARAM kAcknowledged = 1; // the area is copied: the next later start may use it
constexpr DWORD kPublishWaitMs = 2000;
constexpr DWORD kMutexWaitMs = 30000;

// The executable's final path (links and 8.3 names resolved), upper-case, backslashes as "_":
// kernel object names are case-sensitive and may not hold a backslash.
WideString baseName(const WideString& executablePath) {
    WideString path = executablePath;
    const ScopedKernelHandle file(
        CreateFileW(w(executablePath), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr));
    const DWORD needed =
        file ? GetFinalPathNameByHandleW(file.get(), nullptr, 0, FILE_NAME_NORMALIZED) : 0;
    if (needed > 0) {
        WideString resolved;
        const DWORD n = GetFinalPathNameByHandleW(
            file.get(), w(resolved.GetBuffer(static_cast<int32_t>(needed))), needed,
            FILE_NAME_NORMALIZED);
        resolved.ReleaseBuffer(n < needed ? static_cast<int32_t>(n) : 0);
        if (resolved.Left(8) == u"\\\\?\\UNC\\")
            path = WideString(u"\\\\") + resolved.Mid(8);
        else if (resolved.Left(4) == u"\\\\?\\")
            path = resolved.Mid(4);
        else if (!resolved.isEmpty())
            path = resolved;
    }
    WideString name;
    for (int32_t i = 0; i < path.length(); ++i)
        name += path[i] == u'\\' ? u'_' : path[i];
    if (!name.isEmpty()) {
        wchar_t* text = w(name.GetBuffer(name.length()));
        CharUpperBuffW(text, static_cast<DWORD>(name.length()));
        name.ReleaseBuffer(name.length());
    }
    return name;
}

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
    WideString mutexName;
    std::shared_ptr<Shared> shared = std::make_shared<Shared>();
    Listener listener;
    ScopedKernelHandle listenerThread;
    bool first = false;
    bool later = false;

    Block* block() const { return static_cast<Block*>(const_cast<void*>(view.get())); }
};

InstanceChannel::~InstanceChannel() {
    close();
    delete state_;
}

InstanceRole InstanceChannel::open(const WideString& executablePath,
                                   InstanceRequestHandler handler) {
    // Nothing here is reported: whatever fails makes an ordinary start, and the error code the
    // caller may print later is its own.
    const DWORD savedError = GetLastError();
    struct Restore {
        DWORD code;
        ~Restore() { SetLastError(code); }
    } restore{savedError};

    close();
    delete state_;
    state_ = new State;
    State& s = *state_;
    const WideString base = baseName(executablePath);
    s.mutexName = base + u"_upr_mtx";
    s.mapping.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                       sizeof(Block), w(base)));
    if (!s.mapping)
        return InstanceRole::Only;
    const bool first = GetLastError() != ERROR_ALREADY_EXISTS;
    s.view.reset(MapViewOfFile(s.mapping.get(), FILE_MAP_ALL_ACCESS, 0, 0, sizeof(Block)));
    if (!s.view)
        return InstanceRole::Only;
    Block& block = *s.block();

    if (!first) {
        // The first instance publishes the message id last, once its listener can take
        // messages; a start that races with it waits for that a little.
        for (DWORD waited = 0; block.messageId == 0 || block.listenerThreadId == 0; waited += 10) {
            if (waited >= kPublishWaitMs)
                return InstanceRole::Only;
            Sleep(10);
        }
        MemoryBarrier();
        s.later = true;
        return InstanceRole::Later;
    }

    Shared& shared = *s.shared;
    shared.handler = std::move(handler);
    shared.ready.reset(CreateEventW(nullptr, TRUE, FALSE, w(base + u"_upr_evt")));
    shared.messageId = RegisterWindowMessageW(w(base));
    if (!shared.ready || shared.messageId == 0)
        return InstanceRole::Only;
    const ScopedKernelHandle queueMade(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!queueMade)
        return InstanceRole::Only;
    s.listener = Listener{s.shared, &block, queueMade.get()};
    block.primaryProcessId = GetCurrentProcessId();
    s.listenerThread.reset(CreateThread(nullptr, 0, listenForRequests, &s.listener, 0,
                                        const_cast<DWORD*>(&block.listenerThreadId)));
    if (!s.listenerThread)
        return InstanceRole::Only;
    const HANDLE started[] = {queueMade.get(), s.listenerThread.get()};
    if (WaitForMultipleObjects(2, started, FALSE, INFINITE) != WAIT_OBJECT_0)
        return InstanceRole::Only;
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
    const ScopedKernelHandle mutex(CreateMutexW(nullptr, FALSE, w(state_->mutexName)));
    if (!mutex)
        return -1;
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
