// The trace: where its lines go and their time stamps.
#include "common/trace.h"

#include <chrono>

#include "common/text.h"
#include "platform/console.h"
#include "platform/environment.h"
#include "platform/files.h"

namespace noviq {

namespace trace_detail {

std::atomic<bool> enabled{false};

namespace {

WideString& target() {
    static WideString file; // empty: standard error
    return file;
}

std::chrono::steady_clock::time_point& origin() {
    static std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    return start;
}

} // namespace

void write(const WideString& line) {
    const WideString stamped = Format(WideString(u"noviq %u ms: %s\n"), traceMilliseconds(), line);
    const NarrowString bytes = narrow(stamped);
    if (target().isEmpty())
        platform::writeStandardError(bytes.c_str(), bytes.length());
    else
        platform::appendToFile(target(), bytes.c_str(), bytes.length());
}

} // namespace trace_detail

void startTrace() {
    trace_detail::origin() = std::chrono::steady_clock::now();
    const std::optional<WideString> value = platform::environmentVariable(u"NOVIQ_TRACE", 4096);
    if (!value || value->isEmpty() || *value == u"0")
        return;
    // A value with a path separator names a file; anything else ("1", "yes") standard error.
    if (value->Find(u'/') >= 0 || value->Find(u'\\') >= 0)
        trace_detail::target() = *value;
    trace_detail::enabled.store(true, std::memory_order_relaxed);
}

uint32_t traceMilliseconds() {
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - trace_detail::origin())
                                     .count());
}

} // namespace noviq
