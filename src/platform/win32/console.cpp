// Windows: error lines go to standard output through the C runtime in text mode.
#include "platform/console.h"

#include <cstdio>

#include "platform/win32/windows_api.h"

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

// A library's C runtime reads the standard handles when it loads; the handles inherited
// from whoever started the process are dropped before the JVM library is loaded.
void discardStandardOutputAndError() {
    SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
    SetStdHandle(STD_ERROR_HANDLE, nullptr);
}

// Windows asks its questions in dialogs.
bool isInteractive() {
    return false;
}

std::optional<NarrowString> readStandardInputLine() {
    return std::nullopt;
}

} // namespace noviq::platform
