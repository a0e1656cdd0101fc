// Header checks of a JVM library's file image: is it a 32-bit (i386) library? The bytes
// may be truncated or malformed; nothing outside [data, data + size) is ever read.
#pragma once

#include <cstdint>

#include "base/basic_string.h"

namespace noviq {

// The file offset of the NT headers of a PE image: the 32-bit field at 0x3C of a DOS
// header that starts with "MZ". -1 when the image is shorter than its 64-byte DOS header,
// or the offset is negative or leaves no room for the signature and the 20-byte file
// header inside the image.
int64_t peHeadersOffset(const unsigned char* data, uint64_t size);

// "MZ", headers inside the image, located there by the system's image helper, with the
// signature "PE\0\0".
bool isValidPe(const unsigned char* data, uint64_t size);

// A valid PE image whose file header names the machine Intel 386 (0x014C).
bool isI386(const unsigned char* data, uint64_t size);

// An ELF image ("\x7f" "ELF") of class ELFCLASS32, long enough for its 52-byte header.
bool isElf32(const unsigned char* data, uint64_t size);

// The 32-bit check for a library in this system's image format (PE or ELF).
bool is32BitLibrary(const unsigned char* data, uint64_t size);

// False for an ELF image whose program headers or loadable segments reach past the end of
// the bytes (a truncated library: the loader would fault reading it). Any other image is
// left to the system's loader, which reports what it refuses.
bool isCompleteElfImage(const unsigned char* data, uint64_t size);

// Whether the file at the path can be handed to the loader: a regular file (a FIFO or
// device would block it), not an ELF image cut short.
bool isLoadableLibraryFile(const WideString& path);

// Whether the library file at the path is a 32-bit one; false when it cannot be read.
bool isJvmLibrary32Bit(const WideString& jvmLibraryPath);

} // namespace noviq
