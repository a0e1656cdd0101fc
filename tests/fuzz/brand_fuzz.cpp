// The branding tool's PE and .ico readers over bytes of any kind. Properties: each reads or
// refuses with its own exit code, reading nothing outside the bytes; a PE image rewritten with
// its own resources reads again and rewrites to the same bytes; every icon image is a PNG or
// a bitmap from the file, as many as the header says, and the icon group lists each size.
#include "brand/icon_file.h"
#include "brand/pe_image.h"
#include "fuzz_support.h"

using namespace noviq::brand;

namespace {

// Runs `read`: false when it refuses the bytes, as it must, with `code` and a reason.
template <class Read> bool reads(int code, Read read) {
    try {
        read();
        return true;
    } catch (const Refusal& refusal) {
        FUZZ_CHECK(refusal.exitCode == code && !refusal.message.empty());
        return false;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const Bytes file(data, data + size);
    Bytes rewritten;
    if (reads(kBadExecutable, [&] {
            const PeImage image(file);
            rewritten = image.withResources(image.resources());
        })) {
        const PeImage again(rewritten); // a refusal here escapes: libFuzzer reports it
        FUZZ_CHECK(again.withResources(again.resources()) == rewritten);
    }

    std::vector<IconImage> images;
    if (!reads(kBadIcon, [&] { images = readIconFile(file); }))
        return 0;
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
