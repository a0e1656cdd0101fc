// Reading .ico files and writing the icon group resource.
#include "brand/icon_file.h"

#include <cstring>

namespace noviq::brand {

std::vector<IconImage> readIconFile(const Bytes& file) {
    const ByteView view(file.data(), file.size(), kBadIcon, "the --icon file");
    if (file.size() < 6 || view.u16(0) != 0 || view.u16(2) != 1 || view.u16(4) == 0)
        view.corrupt("is not an .ico file");
    const size_t count = view.u16(4);
    view.need(6, 16 * count);
    std::vector<IconImage> images;
    for (size_t i = 0; i < count; ++i) {
        const size_t entry = 6 + 16 * i;
        const uint32_t size = view.u32(entry + 8), offset = view.u32(entry + 12);
        if (size < 8 || !view.fits(offset, size) || offset < 6 + 16 * count)
            view.corrupt("has an image outside the file (image " + std::to_string(i + 1) + ")");
        const bool png = std::memcmp(&file[offset], "\x89PNG\r\n\x1a\n", 8) == 0;
        if (!png && (size < 40 || view.u32(offset) != 40))
            view.corrupt("has an image that is neither PNG nor a bitmap (image " +
                         std::to_string(i + 1) + ")");
        images.push_back({view.u8(entry), view.u8(entry + 1), view.u8(entry + 2),
                          view.u16(entry + 4), view.u16(entry + 6), view.copy(offset, size)});
    }
    return images;
}

Bytes iconGroup(const std::vector<IconImage>& images, uint16_t firstId) {
    Bytes out;
    append16(out, 0);
    append16(out, 1);
    append16(out, static_cast<uint32_t>(images.size()));
    for (size_t i = 0; i < images.size(); ++i) {
        const IconImage& image = images[i];
        out.push_back(image.width);
        out.push_back(image.height);
        out.push_back(image.colorCount);
        out.push_back(0);
        append16(out, image.planes);
        append16(out, image.bitCount);
        append32(out, static_cast<uint32_t>(image.data.size()));
        append16(out, static_cast<uint32_t>(firstId + i));
    }
    return out;
}

} // namespace noviq::brand
