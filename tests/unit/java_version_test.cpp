// Preference matching and the requirement phrase. Parsing, printing and ordering are
// checked against a reference reading by tests/fuzz/java_version_fuzz.cpp.
#include <gtest/gtest.h>

#include "jre/java_version.h"
#include "test_support.h"

namespace noviq {
namespace {

using test::u16;

TEST(JavaVersion, MatchesPreferences) {
    struct Case {
        const char16_t* preferred;
        JavaVersion found;
        bool matches;
    } cases[] = {
        {u"1.6", {1, 6, 0, 20}, true},       {u"1.6", {1, 7, 0, 0}, false},
        {u"1.7.0.0", {1, 7, 9, 9}, true},    {u"1.6.0_20", {1, 6, 0, 20}, true},
        {u"1.6.0_20", {1, 6, 0, 21}, false}, {u"1.0.0.5", {1, 0, 0, 5}, true},
        {u"1.0.0.5", {1, 1, 0, 5}, false},   {u"", {1, 6, 0, 0}, false},
    };
    for (const Case& c : cases) {
        JavaVersion preferred;
        preferred.parse(c.preferred, 0);
        EXPECT_EQ(c.found.matchesPreferred(preferred), c.matches)
            << std::u16string(c.preferred).size();
    }
}

TEST(JavaVersionRange, ReadsBoundsAndDescribesTheRequirement) {
    struct Case {
        const char16_t *minimum, *maximum;
        std::u16string phrase;
        bool holds17; // whether 17.0.2 lies in the range
    } cases[] = {
        {u"any", u"any", u"latest version", true},
        {u"1.6", u"any", u"minimum version 1.6", true},
        {u"any", u"1.7", u"maximum version 1.7", false},
        {u"1.6", u"1.6", u"version between 1.6 and 1.6", false},
        {u"1.6.0.20", u"1.6.0.20", u"version 1.6.0.20 is required", false},
        {u"1.6", u"1.8.0_202", u"version between 1.6 and 1.8.0.202", false},
        {u"ANY", u"5", u"maximum version 5.65535", false},
        // A maximum without digits is no upper bound; a minimum without them no lower one.
        {u"11", u"", u"minimum version 11.0", true},
        {u"", u"none", u"latest version", true},
        {u"18", u"", u"minimum version 18.0", false},
        // Versions print without trailing zero or open components, but with at least two.
        {u"1.0.65535.3", u"any", u"minimum version 1.0.65535.3", true},
        {u"any", u"0", u"maximum version 0.0.0.0", false},
    };
    for (const Case& c : cases) {
        const JavaVersionRange range(c.minimum, c.maximum);
        EXPECT_EQ(u16(range.describeRequirement()), c.phrase);
        EXPECT_EQ(range.contains(JavaVersion(17, 0, 2, 0)), c.holds17) << (&c - cases);
    }
}

} // namespace
} // namespace noviq
