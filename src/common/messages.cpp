// Message lookup and the single error-reporting path.
#include "common/messages.h"

#include <atomic>

#include "common/text.h"
#include "platform/console.h"
#include "platform/resources.h"

namespace noviq {

WideString LoadMessage(MessageId id) {
    return platform::loadStringResource(static_cast<int32_t>(id));
}

namespace {

std::atomic<ErrorLineSink*> errorLineSink{nullptr};

} // namespace

ErrorLineSink* redirectErrorLines(ErrorLineSink* sink) {
    return errorLineSink.exchange(sink, std::memory_order_acq_rel);
}

void ReportError(const WideString& message) {
    WideString line(u"Error: ");
    line += message;
    line += u" \n";
    if (ErrorLineSink* sink = errorLineSink.load(std::memory_order_acquire)) {
        sink->write(line);
        return;
    }
    const NarrowString bytes = narrow(line);
    platform::writeStandardOutput(bytes.c_str(), bytes.length());
}

void ReportMessage(MessageId id) {
    ReportError(LoadMessage(id));
}

void ReportSystemError(MessageId templateId, MessageId textId, uint32_t errorCode) {
    // "%d" prints the code as a signed 32-bit value, so 0x80070005 reads -2147024891.
    ReportError(LoadMessage(templateId), LoadMessage(textId), static_cast<int32_t>(errorCode));
}

WideString withDownloadAddress(const WideString& notFoundText) {
    return notFoundText + u" " + LoadMessage(MessageId::JavaDownloadAddress);
}

} // namespace noviq
