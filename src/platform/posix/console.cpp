// Linux: the error lines go to standard output through the C runtime. A reader that has
// gone away must not end the launcher with SIGPIPE: the failed write is simply ignored.
#include "platform/console.h"

#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <string>
#include <unistd.h>

namespace noviq::platform {

namespace {

void writeStream(std::FILE* stream, const char* bytes, int32_t length) {
    // Blocked for this thread only, rather than ignored process-wide, which the paired
    // program and the JVM would inherit.
    sigset_t pipe, previous;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, &previous);
    if (length > 0)
        std::fwrite(bytes, 1, static_cast<size_t>(length), stream);
    std::fflush(stream);
    if (!sigismember(&previous, SIGPIPE)) {
        const timespec now{0, 0};
        while (sigtimedwait(&pipe, nullptr, &now) > 0) {
        }
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }
}

} // namespace

void writeStandardOutput(const char* bytes, int32_t length) {
    writeStream(stdout, bytes, length);
}

void writeStandardError(const char* bytes, int32_t length) {
    writeStream(stderr, bytes, length);
}

bool isJvmStandardOutput(const void* cStream) {
    return cStream == stdout;
}

void discardStandardOutputAndError() {
    const int nowhere = open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (nowhere < 0)
        return;
    dup2(nowhere, STDOUT_FILENO);
    dup2(nowhere, STDERR_FILENO);
    close(nowhere);
}

bool isInteractive() {
    return isatty(STDIN_FILENO) == 1 && isatty(STDERR_FILENO) == 1;
}

std::optional<NarrowString> readStandardInputLine() {
    std::string line;
    for (;;) {
        const int c = std::fgetc(stdin);
        if (c == EOF)
            return line.empty() ? std::nullopt
                                : std::optional<NarrowString>(NarrowString(line.c_str()));
        if (c == '\n')
            break;
        line += static_cast<char>(c);
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return NarrowString(line.data(), static_cast<int32_t>(line.size()));
}

} // namespace noviq::platform
