// The trace: where its lines go and their time stamps.
#include "common/trace.h"

#include <chrono>

#include "common/text.h"
#include "platform/console.h"
#include "platform/environment.h"
#include "platform/opened_files.h"
#include "platform/process.h"

namespace noviq {

namespace trace_detail {

std::atomic<bool> enabled{false};

namespace {

// Not open: standard error.
platform::AppendingFile& target() {
    static platform::AppendingFile file;
    return file;
}

// A line is one line: a value holding CR, LF or other control characters (a folder name, a
// setting) cannot make the file say more than the launcher decided.
WideString escapedLine(const WideString& line) {
    WideString escaped;
    for (int32_t i = 0; i < line.length(); ++i) {
        const char16_t c = line[i];
        if (c == u'\r')
            escaped += u"\\r";
        else if (c == u'\n')
            escaped += u"\\n";
        else if (c == u'\t')
            escaped += u"\\t";
        else if (c < 0x20 || c == 0x7F) {
            const char16_t digits[] = u"0123456789abcdef";
            escaped += u"\\x";
            escaped += digits[c >> 4];
            escaped += digits[c & 15];
        } else
            escaped += c;
    }
    return escaped;
}

std::chrono::steady_clock::time_point& origin() {
    static std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    return start;
}

} // namespace

void write(const WideString& line) {
    const WideString stamped =
        Format(WideString(u"noviq %u ms: %s\n"), traceMilliseconds(), escapedLine(line));
    const NarrowString bytes = narrow(stamped);
    if (!target().isOpen())
        platform::writeStandardError(bytes.c_str(), bytes.length());
    else
        target().append(bytes.c_str(), bytes.length());
}

} // namespace trace_detail

void startTrace() {
    trace_detail::origin() = std::chrono::steady_clock::now();
    const std::optional<WideString> value = platform::environmentVariable(u"NOVIQ_TRACE", 4096);
    if (!value || value->isEmpty() || *value == u"0")
        return;
    // A value with a path separator names a file; anything else ("1", "yes") standard error.
    // An elevated start takes only a new file in a folder its user cannot write: appending to
    // a file the user names would let the user add lines to any file of the system.
    if (value->Find(u'/') >= 0 || value->Find(u'\\') >= 0) {
        const WideString refused = trace_detail::target().open(
            *value, platform::isElevated() ? platform::OpenRule::NewInProtectedFolder
                                           : platform::OpenRule::ExistingOrNew);
        if (!refused.isEmpty()) {
            const NarrowString line = narrow(Format(
                u"noviq: NOVIQ_TRACE file %s refused (%s): the trace goes to standard error\n",
                trace_detail::escapedLine(*value), refused));
            platform::writeStandardError(line.c_str(), line.length());
        }
    }
    trace_detail::enabled.store(true, std::memory_order_relaxed);
}

uint32_t traceMilliseconds() {
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - trace_detail::origin())
                                     .count());
}

} // namespace noviq
