// Java version numbers (four components, lenient parsing) and the inclusive version range
// from the settings, with its requirement phrase.
#pragma once

#include <cstdint>

#include "base/basic_string.h"

namespace noviq {

class JavaVersion {
public:
    static constexpr int32_t kOpen = 65535; // fills an open top, trimmed when printed

    JavaVersion() = default;
    JavaVersion(int32_t c0, int32_t c1, int32_t c2, int32_t c3)
        : components_{c0, c1, c2, c3}, count_(4) {}
    static JavaVersion lowest() { return JavaVersion(0, 0, 0, 0); }
    static JavaVersion highest() { return JavaVersion(kOpen, kOpen, kOpen, kOpen); }

    // Reads up to four digit groups separated by any non-digits; missing components take
    // `fill`. False (and 0.0.0.0, count 0) for text without digits or a component that does
    // not fit a signed 32-bit value.
    bool parse(const WideString& text, int32_t fill);
    WideString format() const;
    int compare(const JavaVersion& other) const;
    bool isUnset() const;
    // Whether this (found) version satisfies a "Preferred versions" entry.
    bool matchesPreferred(const JavaVersion& preferred) const;

    int32_t component(int index) const { return components_[index]; }
    int32_t count() const { return count_; }

    friend bool operator==(const JavaVersion& a, const JavaVersion& b) { return a.compare(b) == 0; }
    friend bool operator<(const JavaVersion& a, const JavaVersion& b) { return a.compare(b) < 0; }
    friend bool operator>(const JavaVersion& a, const JavaVersion& b) { return a.compare(b) > 0; }

private:
    int32_t components_[4] = {0, 0, 0, 0};
    int32_t count_ = 0;
};

class JavaVersionRange {
public:
    JavaVersionRange() = default;
    // "any" and a text without digits are open bounds on either side; anything else is
    // parsed (a minimum fills missing components with 0, a maximum with kOpen).
    JavaVersionRange(const WideString& minimumText, const WideString& maximumText);

    bool contains(const JavaVersion& version) const;
    WideString describeRequirement() const;
    // The bounds as applied, for the trace: "11.0 to any".
    WideString describeBounds() const;

    JavaVersion minimum;
    JavaVersion maximum;
};

} // namespace noviq
