// An .ico file as icon resources: each image becomes one RT_ICON resource, and a group
// directory (RT_GROUP_ICON) lists them by id, as Windows' resource compiler lays them out.
#pragma once

#include <vector>

#include "brand/bytes.h"

namespace noviq::brand {

struct IconImage {
    uint8_t width, height, colorCount; // 0 width or height: 256 pixels
    uint16_t planes, bitCount;
    Bytes data; // a PNG stream or a bitmap (BITMAPINFOHEADER onwards)
};

// The images of an .ico file; anything else, or entries outside the file, is refused with
// exit code 4.
std::vector<IconImage> readIconFile(const Bytes& file);

// The RT_GROUP_ICON data for `images` stored as RT_ICON ids firstId, firstId + 1, ...
Bytes iconGroup(const std::vector<IconImage>& images, uint16_t firstId);

} // namespace noviq::brand
