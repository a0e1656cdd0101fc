// The link control's colour text ("r,g,b" from the registry): whatever the text, an accepted
// colour, written back in the same form, reads as the same colour; and only text with two
// commas, something after the second, and no -1 in the first two numbers is accepted.
#include <string>

#include "fuzz_support.h"
#include "gui/anchor_color.h"

using noviq::parseAnchorColor;
using noviq::RgbColor;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::u16string text = noviq::fuzz::textFromBytes(data, size);
    const std::optional<RgbColor> colour = parseAnchorColor(text);
    if (!colour)
        return 0;

    const size_t first = text.find(u',');
    FUZZ_CHECK(first != std::u16string::npos);
    const size_t second = text.find(u',', first + 1);
    FUZZ_CHECK(second != std::u16string::npos && second + 1 < text.size());
    FUZZ_CHECK(noviq::anchor_color_detail::leadingNumber(
                   std::u16string_view(text).substr(0, first)) != -1);

    const std::string written = std::to_string(colour->red) + "," + std::to_string(colour->green) +
                                "," + std::to_string(colour->blue);
    const std::optional<RgbColor> again =
        parseAnchorColor(std::u16string(written.begin(), written.end()));
    FUZZ_CHECK(again && *again == *colour);
    return 0;
}
