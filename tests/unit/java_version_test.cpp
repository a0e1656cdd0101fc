// Version parsing, printing, ordering, preference matching and the requirement phrase.
#include <gtest/gtest.h>

#include "jre/java_version.h"
#include "test_support.h"

namespace noviq {
namespace {

using test::u16;

TEST(JavaVersion, ParsesLeniently) {
    struct Case {
        std::u16string text;
        int32_t fill;
        bool ok;
        int32_t c[4];
        int32_t count;
    } cases[] = {
        {u"1.6.0_20", 0, true, {1, 6, 0, 20}, 4},
        {u"jdk1.8.0_202", 0, true, {1, 8, 0, 202}, 4},
        {u"1-6 0/20", 0, true, {1, 6, 0, 20}, 4},
        {u"1.6", 0, true, {1, 6, 0, 0}, 2},
        {u"1.6", 65535, true, {1, 6, 65535, 65535}, 2},
        {u"1.6.0_20-b02", 0, true, {1, 6, 0, 20}, 5},
        {u"2147483647", 0, true, {2147483647, 0, 0, 0}, 1},
        {u"2147483648", 0, false, {0, 0, 0, 0}, 0}, // ten digits that do not fit
        {u"4294967296.1", 0, false, {0, 0, 0, 0}, 0},
        {u"", 0, false, {0, 0, 0, 0}, 0},
        {u"ANY", 65535, false, {0, 0, 0, 0}, 0},
        {u"\uFF11.2", 0, true, {2, 0, 0, 0}, 1}, // only ASCII digits count
    };
    for (const Case& c : cases) {
        JavaVersion v;
        EXPECT_EQ(v.parse(test::wide(c.text), c.fill), c.ok)
            << std::string(c.text.begin(), c.text.end());
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(v.component(i), c.c[i]) << i;
        EXPECT_EQ(v.count(), c.count);
    }
}

TEST(JavaVersion, ComparesAndMatchesPreferences) {
    EXPECT_GT(JavaVersion(1, 10, 0, 0), JavaVersion(1, 9, 0, 0));
    EXPECT_LT(JavaVersion(1, 6, 0, 20), JavaVersion(1, 6, 0, 21));
    EXPECT_EQ(JavaVersion(1, 6, 0, 0).compare(JavaVersion(1, 6, 0, 0)), 0);

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
