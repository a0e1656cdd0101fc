// The restart exit code: an application that ends with it (a self-update, say) is started
// again as a new process, at most kRestartLimit times within kRestartWindowSeconds.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "base/basic_string.h"
#include "jvm/jvm_session.h"

namespace noviq {

constexpr int32_t kRestartLimit = 5;
constexpr int64_t kRestartWindowSeconds = 60;

// The restarts in the current window, carried to the new process in a variable of the
// launcher's own (removed at the start, so the application never sees it).
struct RestartCount {
    int32_t restarts = 0;
    int64_t windowStart = 0; // seconds since 1970
};

std::optional<RestartCount> parseRestartCount(const WideString& text);
WideString formatRestartCount(const RestartCount& count);

// The count after one more restart at `now`, or nothing when the limit is reached.
std::optional<RestartCount> nextRestart(const std::optional<RestartCount>& previous, int64_t now);

class SelfRestart final : public JvmExitHooks {
public:
    // At the very start, before the launcher changes the environment or the folder.
    void captureStart();

    // From now on `code` restarts; `release` runs first (what a new start must not find
    // taken).
    void arm(int32_t code, std::function<void()> release);

    // The process is about to end with `code`: when it is the armed one, starts the
    // launcher again and returns what to end with (the new process's code on Windows);
    // otherwise, or when the restart is refused, `code`.
    int32_t endingWith(int32_t code);

private:
    // System.exit: the JVM ends the process right after the hook, with its own code.
    void onExit(int32_t code) override;
    void onAbort() override {}

    std::optional<RestartCount> previous_;
    std::optional<int32_t> code_;
    std::function<void()> release_;
};

} // namespace noviq
