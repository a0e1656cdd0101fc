// The start's decisions, one line each with a millisecond time stamp, written when
// NOVIQ_TRACE is set: "1" (or any text that is no path) to standard error, a path to that
// file (appended). Without the variable nothing is formatted or written.
#pragma once

#include <atomic>
#include <cstdint>

#include "base/format.h"

namespace noviq {

namespace trace_detail {
extern std::atomic<bool> enabled;
void write(const WideString& line);
} // namespace trace_detail

// Reads NOVIQ_TRACE once, at the start of the process.
void startTrace();

inline bool tracing() {
    return trace_detail::enabled.load(std::memory_order_relaxed);
}

// One line of the trace; the arguments are formatted only while tracing.
template <class... Args> void trace(const char16_t* templateText, const Args&... args) {
    if (tracing())
        trace_detail::write(Format(WideString(templateText), args...));
}

// Milliseconds since startTrace(), for the phase times.
uint32_t traceMilliseconds();

} // namespace noviq
