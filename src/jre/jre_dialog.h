// The runtime-not-found dialog: the requirement text, a link to the download page and a
// folder browser; the result says whether the user chose a runtime.
#pragma once

#include "common/basic_string.h"
#include "jre/java_version.h"
#include "jre/search_preferences.h"

namespace noviq {

enum class JreDialogOutcome { Accepted, Cancelled, NotShown };

struct JreDialogResult {
    JreDialogOutcome outcome = JreDialogOutcome::NotShown;
    WideString runtimeFolder;
    WideString jvmLibraryPath;
};

// The dialog's text: message 206 for a required server JVM, 207 otherwise.
WideString notFoundMessage(JvmType type, const JavaVersionRange& range);

JreDialogResult showJreNotFoundDialog(const WideString& text, JvmType type);

} // namespace noviq
