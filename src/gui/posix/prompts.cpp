// The prompts until the dialogs exist: the runtime-not-found text is printed as an error
// line and counts as not shown; an exception's trace is not presented and the run goes on.
#include "gui/prompts.h"

#include "common/messages.h"

namespace noviq {

RuntimePromptResult promptForRuntime(const WideString& message, const FolderProbe&) {
    ReportError(message);
    return RuntimePromptResult{};
}

bool presentException(const WideString&) {
    return false;
}

} // namespace noviq
