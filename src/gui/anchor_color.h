// The text form of a link colour as Internet Explorer keeps it in the registry ("Anchor
// Color", "Anchor Color Visited"): "red,green,blue" in decimal. A pure function of its
// input, so that it can be tested and fuzzed without a registry.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace noviq {

struct RgbColor {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const RgbColor&) const = default;
};

namespace anchor_color_detail {

// A signed decimal read the way the C runtime's atoi reads one: white space, an optional
// sign, then digits up to the first other character; no digits read as 0. Values beyond
// 32 bits stay at the 32-bit limit.
inline int32_t leadingNumber(std::u16string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    int64_t value = 0;
    constexpr int64_t kLimit = int64_t{INT32_MAX} + 1;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i)
        if (value < kLimit)
            value = value * 10 + (text[i] - u'0');
    if (negative)
        return static_cast<int32_t>(value >= kLimit ? INT32_MIN : -value);
    return static_cast<int32_t>(value >= kLimit ? INT32_MAX : value);
}

} // namespace anchor_color_detail

// Red, green and blue from "r,g,b". The first two numbers must each end at a comma and must
// not read as -1 (the value the browser writes for "no colour"), and something must follow
// the second comma; each number keeps its low 8 bits (300 is 44).
inline std::optional<RgbColor> parseAnchorColor(std::u16string_view text) {
    int32_t components[3] = {};
    for (int index = 0; index < 2; ++index) {
        const size_t comma = text.find(u',');
        if (comma == std::u16string_view::npos)
            return std::nullopt;
        components[index] = anchor_color_detail::leadingNumber(text.substr(0, comma));
        if (components[index] == -1)
            return std::nullopt;
        text.remove_prefix(comma + 1);
    }
    if (text.empty())
        return std::nullopt;
    components[2] = anchor_color_detail::leadingNumber(text);
    return RgbColor{static_cast<uint8_t>(components[0]), static_cast<uint8_t>(components[1]),
                    static_cast<uint8_t>(components[2])};
}

} // namespace noviq
