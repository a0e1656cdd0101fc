// The link colours a user may keep as text in the registry.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "gui/anchor_color.h"

namespace noviq {
namespace {

TEST(ParseAnchorColor, ReadsThreeNumbersAndRejectsIncompleteText) {
    const struct {
        const char16_t* text;
        std::optional<RgbColor> colour;
    } cases[] = {
        {u"255,0,0", RgbColor{255, 0, 0}},
        {u" 12 ,+34,56 and more", RgbColor{12, 34, 56}},
        {u"300,-2,1,9", RgbColor{44, 254, 1}},     // low 8 bits; the third number ends the text
        {u"99999999999,x,0", RgbColor{255, 0, 0}}, // beyond 32 bits; no digits read as 0
        {u"0,0,-1", RgbColor{0, 0, 255}},
        {u"255,0", std::nullopt},
        {u"255,0,", std::nullopt},
        {u"-1,0,0", std::nullopt},
        {u"0, -1,0", std::nullopt},
        {u"", std::nullopt},
    };
    for (const auto& c : cases) {
        const std::u16string_view text(c.text);
        EXPECT_EQ(parseAnchorColor(text), c.colour) << std::string(text.begin(), text.end());
    }
}

} // namespace
} // namespace noviq
