// Linux: libraries are ELF images; PE headers are located the way the Windows image helper
// does it, so that PE files can be inspected here as well.
#include "platform/image_headers.h"

#include <cstdint>

namespace noviq::platform {

const LibraryImageFormat kLibraryImageFormat = LibraryImageFormat::Elf;

const unsigned char* locateNtHeaders(const unsigned char* image) {
    if (image[0] != 'M' || image[1] != 'Z')
        return nullptr;
    const uint32_t offset = uint32_t{image[0x3C]} | uint32_t{image[0x3D]} << 8 |
                            uint32_t{image[0x3E]} << 16 | uint32_t{image[0x3F]} << 24;
    const unsigned char* headers = image + offset;
    if (headers[0] != 'P' || headers[1] != 'E' || headers[2] != 0 || headers[3] != 0)
        return nullptr;
    return headers;
}

} // namespace noviq::platform
