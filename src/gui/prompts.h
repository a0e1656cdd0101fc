// What the launcher asks of the user: a runtime folder when none was found, and what to do
// when main ended with an exception. The folder check is passed in, so the prompts know
// nothing of runtimes.
#pragma once

#include <functional>

#include "base/basic_string.h"

namespace noviq {

enum class PromptOutcome { Accepted, Cancelled, NotShown };

struct RuntimePromptResult {
    PromptOutcome outcome = PromptOutcome::NotShown;
    WideString folder; // the chosen folder when accepted
};

// Whether a folder the user points at holds a runtime the launcher can use.
using FolderProbe = std::function<bool(const WideString& folder)>;

// Shows the runtime-not-found message and lets the user choose a folder that passes the
// probe.
RuntimePromptResult promptForRuntime(const WideString& message, const FolderProbe& probe);

// Shows one error to a user who has no console: a message box with the caption.
void showErrorMessage(const WideString& caption, const WideString& text);

// Presents the trace of an exception that ended main; true when the user asks to stop the
// application.
bool presentException(const WideString& trace);

} // namespace noviq
