// The message table: user-visible texts addressed by id, and the error line on stdout.
#pragma once

#include <cstdint>

#include "base/basic_string.h"
#include "base/format.h"

namespace noviq {

enum class MessageId : int32_t {
#define NOVIQ_MESSAGE(id, name, text) name = id,
#include "messages.def"
#undef NOVIQ_MESSAGE
};

// The text of a message, or the empty string when the table has no non-empty entry.
WideString LoadMessage(MessageId id);

// Format with the template of a message; an absent id cannot be measured and ends the
// process.
template <class... Args> WideString FormatById(MessageId id, const Args&... args) {
    const WideString templateText = LoadMessage(id);
    if (templateText.isEmpty())
        string_detail::violation();
    return Format(templateText, args...);
}

// Where error lines go instead of standard output (a service has no console).
class ErrorLineSink {
public:
    virtual void write(const WideString& line) = 0;

protected:
    ~ErrorLineSink() = default;
};

// From now on every error line goes to the sink (null: standard output again); any thread.
// Returns the sink that took them until now.
ErrorLineSink* redirectErrorLines(ErrorLineSink* sink);

// Writes "Error: <message> \n" to standard output in the process's 8-bit code page.
void ReportError(const WideString& message);

// The runtime-not-found text where no dialog shows it with its link (an error line, a
// message box, the event log, the terminal): the download address follows "from:".
WideString withDownloadAddress(const WideString& notFoundText);
template <class... Args> void ReportError(const WideString& templateText, const Args&... args) {
    ReportError(Format(templateText, args...));
}

// The common forms: a message by id, and a template id with a message id and a number.
void ReportMessage(MessageId id);
void ReportSystemError(MessageId templateId, MessageId textId, uint32_t errorCode);

} // namespace noviq
