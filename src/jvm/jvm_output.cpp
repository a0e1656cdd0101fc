// The JVM's vfprintf hook. Each fragment is written at once: a warning's heading comes
// through the hook while its body is written by the JVM directly, so holding fragments back
// until a line is complete would put the heading after its own body.
#include "jvm/jvm_output.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/text.h"
#include "platform/console.h"
#include "platform/threads.h"

namespace noviq {

namespace {

constexpr const char* kGeneralHeading = "Error occurred during initialization of VM";

platform::Mutex& reasonLock() {
    static platform::Mutex lock;
    return lock;
}
JvmReasonLines* reasonLines = nullptr; // under reasonLock, set while the JVM is created
std::atomic<bool> creating{false};

std::atomic<const char*> droppedPrefix{nullptr};

// Per stream: where its current line stands against the dropped prefix. Text that may still
// turn out to start a dropped line is held back until it is clear.
struct LineFilter {
    NarrowString held;   // a line start that matches the prefix so far (spaces before it too)
    int32_t matched = 0; // how much of the prefix it holds
    bool atLineStart = true;
    bool dropping = false;
};
LineFilter filters[2]; // standard output, standard error; under filterLock

platform::Mutex& filterLock() {
    static platform::Mutex lock;
    return lock;
}

void write(int streamIndex, const char* text, int32_t length) {
    if (length <= 0)
        return;
    if (streamIndex == 0)
        platform::writeStandardOutput(text, length);
    else
        platform::writeStandardError(text, length);
}

void passOn(int streamIndex, const char* text, int32_t length) {
    const char* prefix = droppedPrefix.load(std::memory_order_acquire);
    if (!prefix) {
        write(streamIndex, text, length);
        return;
    }
    const int32_t prefixLength = static_cast<int32_t>(std::strlen(prefix));
    platform::MutexLock hold(filterLock());
    LineFilter& filter = filters[streamIndex];
    int32_t start = 0; // of the text not yet written or dropped
    for (int32_t i = 0; i < length; ++i) {
        const char c = text[i];
        if (filter.dropping) {
            start = i + 1;
            if (c == '\n') {
                filter.dropping = false;
                filter.atLineStart = true;
            }
            continue;
        }
        if (filter.atLineStart) {
            const bool leadingSpace = c == ' ' && filter.matched == 0;
            if (leadingSpace || (filter.matched < prefixLength && c == prefix[filter.matched])) {
                filter.held += c;
                filter.matched += leadingSpace ? 0 : 1;
                start = i + 1;
                if (filter.matched == prefixLength) {
                    filter.held = NarrowString();
                    filter.matched = 0;
                    filter.dropping = true;
                    filter.atLineStart = false;
                }
                continue;
            }
            // Not the dropped line after all: what was held goes out first.
            write(streamIndex, filter.held.c_str(), filter.held.length());
            filter.held = NarrowString();
            filter.matched = 0;
            filter.atLineStart = false;
            start = i;
        }
        if (c == '\n') {
            write(streamIndex, text + start, i + 1 - start);
            start = i + 1;
            filter.atLineStart = true;
        }
    }
    write(streamIndex, text + start, length - start);
}

} // namespace

void dropJvmOutputLines(const char* prefix) {
    droppedPrefix.store(prefix, std::memory_order_release);
}

void JvmReasonLines::offer(const NarrowString& line) {
    if (!reason_.isEmpty())
        return;
    NarrowString text = line;
    if (!text.isEmpty() && text.last() == '\r')
        text = text.Left(text.length() - 1);
    // A warning's heading comes through the hook, its body past it: the heading then runs
    // into the next line the hook sees, which is the one that counts.
    const NarrowString warning(" VM warning: ");
    for (int32_t at = text.Find(warning); at >= 0; at = text.Find(warning))
        text = text.Mid(at + warning.length());
    if (!text.isEmpty() && std::strcmp(text.c_str(), kGeneralHeading) != 0)
        reason_ = text;
}

void JvmReasonLines::add(const char* text, int32_t length) {
    for (int32_t i = 0; i < length; ++i) {
        if (text[i] == '\n') {
            offer(partial_);
            partial_ = NarrowString();
        } else {
            partial_ += text[i];
        }
    }
}

NarrowString JvmReasonLines::reason() const {
    if (!reason_.isEmpty())
        return reason_;
    JvmReasonLines last = *this;
    last.offer(partial_);
    return last.reason_;
}

jint JNICALL jvmPrintHook(FILE* stream, const char* format, va_list arguments) {
    char small[512];
    va_list measure;
    va_copy(measure, arguments);
    const int needed = std::vsnprintf(small, sizeof small, format, measure);
    va_end(measure);
    if (needed < 0)
        return needed;
    std::vector<char> large;
    const char* text = small;
    if (static_cast<size_t>(needed) >= sizeof small) {
        large.resize(static_cast<size_t>(needed) + 1);
        std::vsnprintf(large.data(), large.size(), format, arguments);
        text = large.data();
    }
    const bool output = platform::isJvmStandardOutput(stream);
    passOn(output ? 0 : 1, text, needed);
    if (creating.load(std::memory_order_acquire)) {
        platform::MutexLock hold(reasonLock());
        if (reasonLines)
            reasonLines->add(text, needed);
    }
    return needed;
}

void beginJvmCreation() {
    platform::MutexLock hold(reasonLock());
    delete reasonLines;
    reasonLines = new JvmReasonLines();
    creating.store(true, std::memory_order_release);
}

WideString endJvmCreation() {
    platform::MutexLock hold(reasonLock());
    creating.store(false, std::memory_order_release);
    WideString reason;
    if (reasonLines)
        reason = widen(reasonLines->reason());
    delete reasonLines;
    reasonLines = nullptr;
    return reason;
}

bool isJvmBeingCreated() {
    return creating.load(std::memory_order_acquire);
}

} // namespace noviq
