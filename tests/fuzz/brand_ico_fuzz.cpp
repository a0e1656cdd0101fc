// The branding tool's .ico reader over bytes of any kind. Properties: it reads or refuses as
// a bad icon without reading outside the bytes (address sanitizer); every image it returns
// is a PNG or a bitmap copied from the file, and the icon group lists each with its size.
#include "brand/icon_file.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace noviq::brand;
    std::vector<IconImage> images;
    try {
        images = readIconFile(Bytes(data, data + size));
    } catch (const Refusal& refusal) {
        FUZZ_CHECK(refusal.exitCode == kBadIcon && !refusal.message.empty());
        return 0;
    }
    FUZZ_CHECK(!images.empty() && images.size() == size_t{data[4]} + (size_t{data[5]} << 8));
    const Bytes group = iconGroup(images, 1);
    FUZZ_CHECK(group.size() == 6 + 14 * images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        const Bytes& image = images[i].data;
        FUZZ_CHECK(image.size() >= 8 && image.size() <= size);
        FUZZ_CHECK(std::memcmp(image.data(), "\x89PNG", 4) == 0 || image[0] == 40);
        uint32_t listed;
        std::memcpy(&listed, &group[6 + 14 * i + 8], 4);
        FUZZ_CHECK(listed == image.size());
    }
    return 0;
}
