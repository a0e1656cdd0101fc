// Version parsing, printing, comparison and the requirement phrase.
#include "jre/java_version.h"

#include "base/format.h"
#include "common/messages.h"

namespace noviq {

namespace {
bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}
} // namespace

bool JavaVersion::parse(const WideString& text, int32_t fill) {
    *this = JavaVersion();
    const int32_t n = text.length();
    int32_t i = 0;
    while (i < n && !isDigit(text[i]))
        ++i;
    if (i == n)
        return false;
    int32_t groups = 0;
    while (groups < 4) {
        int64_t value = 0;
        for (; i < n && isDigit(text[i]); ++i) {
            // A component must stay a signed 32-bit value: more than ten digits, or ten
            // digits above 2147483647, fail the whole parse.
            value = value * 10 + (text[i] - u'0');
            if (value > INT32_MAX) {
                *this = JavaVersion();
                return false;
            }
        }
        components_[groups++] = static_cast<int32_t>(value);
        while (i < n && !isDigit(text[i]))
            ++i;
        if (i == n)
            break;
    }
    count_ = groups;
    if (groups == 4 && i < n)
        count_ = 5;
    for (int g = groups; g < 4; ++g)
        components_[g] = fill;
    return true;
}

WideString JavaVersion::format() const {
    int n = 3;
    while (n >= 0 && (components_[n] == 0 || components_[n] == kOpen))
        --n;
    if (n < 0)
        return WideString(u"0.0.0.0");
    if (n == 0)
        n = 1;
    WideString text;
    for (int i = 0; i <= n; ++i) {
        if (i > 0)
            text += u'.';
        text += decimal(components_[i]);
    }
    return text;
}

int JavaVersion::compare(const JavaVersion& other) const {
    for (int i = 0; i < 4; ++i) {
        if (components_[i] != other.components_[i])
            return components_[i] < other.components_[i] ? -1 : 1;
    }
    return 0;
}

bool JavaVersion::isUnset() const {
    bool allZero = true, allOpen = true;
    for (int32_t c : components_) {
        allZero = allZero && c == 0;
        allOpen = allOpen && c == kOpen;
    }
    return allZero || allOpen;
}

bool JavaVersion::matchesPreferred(const JavaVersion& preferred) const {
    // Trailing zero components of the entry are wildcards. An entry without any non-zero
    // component (empty or digit-less) expresses no preference and matches nothing.
    int significant = 4;
    while (significant > 0 && preferred.components_[significant - 1] == 0)
        --significant;
    if (significant == 0)
        return false;
    for (int i = 0; i < significant; ++i)
        if (components_[i] != preferred.components_[i])
            return false;
    return true;
}

JavaVersionRange::JavaVersionRange(const WideString& minimumText, const WideString& maximumText) {
    if (minimumText == u"any")
        minimum = JavaVersion::lowest();
    else
        minimum.parse(minimumText, 0);
    // A maximum without any digit (empty, absent, a word) sets no upper bound, as "any"
    // does: taken as the version 0.0.0.0 it would admit no installed runtime.
    bool hasDigit = false;
    for (int32_t i = 0; i < maximumText.length(); ++i)
        hasDigit = hasDigit || isDigit(maximumText[i]);
    if (maximumText == u"any" || !hasDigit)
        maximum = JavaVersion::highest();
    else
        maximum.parse(maximumText, JavaVersion::kOpen);
}

bool JavaVersionRange::contains(const JavaVersion& version) const {
    return minimum.compare(version) <= 0 && version.compare(maximum) <= 0;
}

WideString JavaVersionRange::describeBounds() const {
    const WideString low = minimum == JavaVersion::lowest() ? WideString(u"any") : minimum.format();
    const WideString high =
        maximum == JavaVersion::highest() ? WideString(u"any") : maximum.format();
    return low + u" to " + high;
}

WideString JavaVersionRange::describeRequirement() const {
    const bool noMinimum = minimum.isUnset(), noMaximum = maximum.isUnset();
    if (noMinimum && noMaximum)
        return LoadMessage(MessageId::RequireLatest);
    if (noMinimum)
        return FormatById(MessageId::RequireMaximum, maximum.format());
    if (noMaximum)
        return FormatById(MessageId::RequireMinimum, minimum.format());
    if (minimum == maximum)
        return FormatById(MessageId::RequireExact, minimum.format());
    return FormatById(MessageId::RequireBetween, minimum.format(), maximum.format());
}

} // namespace noviq
