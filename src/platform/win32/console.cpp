// Windows: error lines go to standard output through the C runtime in text mode.
#include "platform/console.h"

#include <cstdio>

namespace noviq::platform {

void writeStandardOutput(const char* bytes, int32_t length) {
    if (length > 0)
        std::fwrite(bytes, 1, static_cast<size_t>(length), stdout);
    std::fflush(stdout);
}

void writeStandardError(const char* bytes, int32_t length) {
    if (length > 0)
        std::fwrite(bytes, 1, static_cast<size_t>(length), stderr);
    std::fflush(stderr);
}

// Windows asks its questions in dialogs.
bool isInteractive() {
    return false;
}

std::optional<NarrowString> readStandardInputLine() {
    return std::nullopt;
}

} // namespace noviq::platform
