// Linux: the questions asked on the terminal, when there is one to ask on (standard input
// and standard error both terminals); otherwise the not-found text is an error line and an
// exception's trace stands as the JVM reported it.
#include "gui/prompts.h"

#include "common/messages.h"
#include "common/path_utils.h"
#include "common/text.h"
#include "platform/console.h"
#include "platform/process.h"

namespace noviq {

namespace {

void say(const WideString& text) {
    const NarrowString bytes = narrow(text);
    platform::writeStandardError(bytes.c_str(), bytes.length());
}

} // namespace

RuntimePromptResult promptForRuntime(const WideString& message, const FolderProbe& probe) {
    if (!platform::isInteractive()) {
        ReportError(withDownloadAddress(message));
        return RuntimePromptResult{};
    }
    say(withDownloadAddress(message) + u"\n");
    for (;;) {
        say(LoadMessage(MessageId::PromptRuntimeFolder));
        const std::optional<NarrowString> line = platform::readStandardInputLine();
        if (!line || line->isEmpty())
            return RuntimePromptResult{PromptOutcome::Cancelled, WideString()};
        // Typed at a terminal, a relative folder is the one the user is in; it is stored
        // as a full path.
        const WideString folder = absoluteFrom(platform::currentDirectory(), trimmed(widen(*line)));
        if (probe(folder))
            return RuntimePromptResult{PromptOutcome::Accepted, folder};
        say(FormatById(MessageId::PromptNoLibrary, folder));
    }
}

// No windowed variant exists here; the error goes to standard error, captioned.
void showErrorMessage(const WideString& caption, const WideString& text) {
    say(caption + u": " + text + u"\n");
}

bool presentException(const WideString& trace) {
    if (!platform::isInteractive())
        return false;
    say(trace);
    say(LoadMessage(MessageId::PromptStopApplication));
    const std::optional<NarrowString> answer = platform::readStandardInputLine();
    return answer && (*answer == "y" || *answer == "Y");
}

} // namespace noviq
