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
    // The line ends with a space and a line break; a message that already ends with its own
    // line break gets the space before it, not a line of its own.
    WideString line(u"Error: ");
    if (!message.isEmpty() && message.last() == u'\n')
        line += message.Left(message.length() - 1);
    else
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
