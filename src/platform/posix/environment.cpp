// Linux: the process environment, with Windows-style %NAME% expansion.
#include "platform/environment.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

#include "platform/text.h"

namespace noviq::platform {

namespace {

// The C library reads a name only up to a zero, and matches "A=B" to a variable A whose
// value starts with "B=": such names would find another variable, so they find none.
const char* lookUp(const WideString& name) {
    if (name.isEmpty() || name.Find(u'=') >= 0 || name.Find(u'\0') >= 0)
        return nullptr;
    return std::getenv(narrow(name).c_str());
}

} // namespace

std::optional<WideString> environmentVariable(const WideString& name, int32_t bufferSize) {
    const char* value = lookUp(name);
    if (!value)
        return std::nullopt;
    WideString text = widen(value);
    if (text.length() >= bufferSize)
        return std::nullopt;
    return text;
}

std::optional<WideString> wholeEnvironmentVariable(const WideString& name) {
    const char* value = lookUp(name);
    if (!value)
        return std::nullopt;
    return widen(value);
}

bool setEnvironmentVariable(const WideString& name, const WideString& value) {
    return setenv(narrow(name).c_str(), narrow(value).c_str(), 1) == 0;
}

bool removeEnvironmentVariable(const WideString& name) {
    return unsetenv(narrow(name).c_str()) == 0;
}

std::optional<WideString> expandEnvironmentStrings(const WideString& text) {
    WideString result;
    int32_t i = 0;
    while (i < text.length()) {
        const int32_t open = text.Find(u'%', i);
        if (open < 0)
            break;
        const int32_t close = text.Find(u'%', open + 1);
        if (close < 0)
            break;
        result += text.Mid(i, open - i);
        const WideString name = text.Mid(open + 1, close - open - 1);
        const char* value = lookUp(name);
        if (value) {
            result += widen(value);
            i = close + 1;
        } else {
            // An undefined reference stays; its closing % may open the next reference.
            result += text.Mid(open, close - open);
            i = close;
        }
    }
    result += text.Mid(i);
    return result;
}

namespace {

// $<variable>, else <home>/<fallback>: the XDG rule for one kind of per-user folder.
WideString xdgFolder(const char16_t* variable, const char16_t* fallback) {
    if (auto xdg = environmentVariable(variable, 4096); xdg && !xdg->isEmpty())
        return *xdg;
    if (auto home = environmentVariable(u"HOME", 4096); home && !home->isEmpty())
        return *home + u"/" + fallback;
    // Without HOME (a service manager's environment, say) the account's own home folder.
    if (const passwd* account = getpwuid(getuid()); account && account->pw_dir && *account->pw_dir)
        return widen(account->pw_dir) + u"/" + fallback;
    return WideString();
}

} // namespace

WideString perUserConfigFolder() {
    return xdgFolder(u"XDG_CONFIG_HOME", u".config");
}

WideString perUserCacheFolder() {
    return xdgFolder(u"XDG_CACHE_HOME", u".cache");
}

} // namespace noviq::platform
