// The branding tool's PE reader over bytes of any kind. Properties: it reads or refuses as
// a bad executable without reading outside the bytes (address sanitizer); an image it
// reads, rewritten with its own resources, reads again and rewrites to the same bytes.
#include "brand/pe_image.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace noviq::brand;
    const Bytes file(data, data + size);
    Bytes rewritten;
    try {
        const PeImage image(file);
        rewritten = image.withResources(image.resources());
    } catch (const Refusal& refusal) {
        FUZZ_CHECK(refusal.exitCode == kBadExecutable && !refusal.message.empty());
        return 0;
    }
    try {
        const PeImage again(rewritten);
        FUZZ_CHECK(again.withResources(again.resources()) == rewritten);
    } catch (const Refusal&) {
        FUZZ_CHECK(!"a rewritten image is refused");
    }
    return 0;
}
