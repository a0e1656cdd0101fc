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
    } cases[] = {
        {u"any", u"any", u"latest version"},
        {u"1.6", u"any", u"minimum version 1.6"},
        {u"any", u"1.7", u"maximum version 1.7"},
        {u"1.6", u"1.6", u"version between 1.6 and 1.6"},
        {u"1.6.0.20", u"1.6.0.20", u"version 1.6.0.20 is required"},
        {u"1.6", u"1.8.0_202", u"version between 1.6 and 1.8.0.202"},
        {u"ANY", u"5", u"maximum version 5.65535"},
        // Versions print without trailing zero or open components, but with at least two.
        {u"1.0.65535.3", u"any", u"minimum version 1.0.65535.3"},
        {u"any", u"0", u"maximum version 0.0.0.0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(u16(JavaVersionRange(c.minimum, c.maximum).describeRequirement()), c.phrase);
}

} // namespace
} // namespace noviq
