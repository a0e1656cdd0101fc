// The link control's colour text ("r,g,b" from the registry): whatever the text, an accepted
// colour, written back in the same form, reads as the same colour.
#include "fuzz_support.h"
#include "gui/anchor_color.h"

FUZZ_TEXT_TARGET(text) {
    const std::optional<RgbColor> colour = parseAnchorColor(text);
    if (!colour)
        return;
    const std::string written = std::to_string(colour->red) + "," + std::to_string(colour->green) +
                                "," + std::to_string(colour->blue);
    FUZZ_CHECK(parseAnchorColor(std::u16string(written.begin(), written.end())) == colour);
}
