// The restart exit code: the count that travels between the starts, and the new start.
#include "launcher/restart.h"

#include <chrono>

#include "common/messages.h"
#include "common/trace.h"
#include "platform/environment.h"
#include "platform/self_restart.h"

namespace noviq {

namespace {

const char16_t kCountVariable[] = u"NOVIQ_RESTART_COUNT";

// Digits only, no sign, no more than fit.
std::optional<int64_t> number(const WideString& text, int32_t from, int32_t to) {
    if (from >= to || to - from > 18)
        return std::nullopt;
    int64_t value = 0;
    for (int32_t i = from; i < to; ++i) {
        if (text[i] < u'0' || text[i] > u'9')
            return std::nullopt;
        value = value * 10 + (text[i] - u'0');
    }
    return value;
}

} // namespace

std::optional<RestartCount> parseRestartCount(const WideString& text) {
    const int32_t colon = text.Find(u':');
    if (colon < 0)
        return std::nullopt;
    const std::optional<int64_t> restarts = number(text, 0, colon);
    const std::optional<int64_t> start = number(text, colon + 1, text.length());
    if (!restarts || !start || *restarts > kRestartLimit)
        return std::nullopt;
    return RestartCount{static_cast<int32_t>(*restarts), *start};
}

WideString formatRestartCount(const RestartCount& count) {
    return decimal(count.restarts) + u":" + decimal(count.windowStart);
}

std::optional<RestartCount> nextRestart(const std::optional<RestartCount>& previous, int64_t now) {
    // A window that is over, or a clock set back, starts a new one.
    if (!previous || now < previous->windowStart ||
        now - previous->windowStart >= kRestartWindowSeconds)
        return RestartCount{1, now};
    if (previous->restarts >= kRestartLimit)
        return std::nullopt;
    return RestartCount{previous->restarts + 1, previous->windowStart};
}

void SelfRestart::captureStart() {
    if (std::optional<WideString> value = platform::wholeEnvironmentVariable(kCountVariable)) {
        previous_ = parseRestartCount(*value);
        platform::removeEnvironmentVariable(kCountVariable);
    }
    platform::recordStartState();
}

void SelfRestart::arm(int32_t code, std::function<void()> release) {
    code_ = code;
    release_ = std::move(release);
    setJvmExitHooks(this);
}

int32_t SelfRestart::endingWith(int32_t code) {
    if (!code_ || code != *code_)
        return code;
    code_.reset(); // once: the exit hook and the end of the launcher both come here
    setJvmExitHooks(nullptr);
    const int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    const std::optional<RestartCount> next = nextRestart(previous_, now);
    if (!next) {
        ReportError(LoadMessage(MessageId::RestartLimitReached), code,
                    static_cast<int32_t>(kRestartLimit),
                    static_cast<int32_t>(kRestartWindowSeconds));
        return code;
    }
    if (release_)
        release_();
    trace(u"restart: exit code %d, restart %d within %d s", code, next->restarts,
          static_cast<int32_t>(kRestartWindowSeconds));
    const platform::SystemResult<uint32_t> result =
        platform::startAgain(kCountVariable, formatRestartCount(*next));
    if (!result) {
        ReportError(LoadMessage(MessageId::RestartFailed), static_cast<int32_t>(result.error()));
        return code;
    }
    trace(u"restart: the new start ended with %d", static_cast<int32_t>(*result));
    return static_cast<int32_t>(*result);
}

void SelfRestart::onExit(int32_t code) {
    const int32_t result = endingWith(code);
    if (result != code)
        platform::exitProcess(static_cast<uint32_t>(result));
}

} // namespace noviq
