// Linux: the message table compiled from the same source as the Windows string table.
#include "platform/resources.h"

namespace noviq::platform {

namespace {
struct Entry {
    int32_t id;
    const char16_t* text;
};
constexpr Entry kMessages[] = {
#define NOVIQ_MESSAGE(id, name, text) {id, u"" text},
#include "messages.def"
#undef NOVIQ_MESSAGE
};
} // namespace

WideString loadStringResource(int32_t id) {
    // The shared wording of system errors names Windows; this build names its own system.
    if (id == 202)
        return WideString(u"System error: %s (errno = %d).\n");
    for (const Entry& entry : kMessages)
        if (entry.id == id)
            return WideString(entry.text);
    return WideString();
}

} // namespace noviq::platform
