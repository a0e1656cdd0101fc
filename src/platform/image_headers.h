// The executable-image format of this system's shared libraries, and the system's own
// locator of a PE image's NT headers.
#pragma once

namespace noviq::platform {

enum class LibraryImageFormat { Pe, Elf };

// PE (jvm.dll) on Windows, ELF (libjvm.so) on Linux.
extern const LibraryImageFormat kLibraryImageFormat;

// The NT headers of a PE image mapped at `image`, as the system's image helper finds them:
// the address named by the 32-bit field at offset 0x3C, or null when the image does not
// start with "MZ", the headers lack the "PE\0\0" signature, or the helper is unavailable.
// The helper reads without bounds: the caller must already have checked that the DOS
// header and the headers it names lie inside the image.
const unsigned char* locateNtHeaders(const unsigned char* image);

} // namespace noviq::platform
