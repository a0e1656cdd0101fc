// The not-found text, and a placeholder for the dialog itself: until the dialog exists the
// text is printed as an error line and the dialog counts as not shown.
#include "jre/jre_dialog.h"

#include "common/messages.h"

namespace noviq {

WideString notFoundMessage(JvmType type, const JavaVersionRange& range) {
    const MessageId id = type == JvmType::Server ? MessageId::JreNotFoundServer : MessageId::JreNotFound;
    return FormatById(id, range.describeRequirement());
}

JreDialogResult showJreNotFoundDialog(const WideString& text, JvmType) {
    ReportError(text);
    return JreDialogResult{};
}

} // namespace noviq
