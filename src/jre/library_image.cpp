// PE and ELF header checks over bounds-checked bytes: the architecture of the chosen JVM
// library, and whether a library file can be handed to the loader at all.
#include "jre/library_image.h"

#include <optional>

#include "base/basic_string.h"
#include "platform/files.h"
#include "platform/image_headers.h"

namespace noviq {

namespace {

constexpr uint64_t kDosHeaderSize = 64;
constexpr uint64_t kNtHeadersOffsetField = 0x3C;
constexpr uint64_t kSignatureSize = 4;
constexpr uint64_t kFileHeaderSize = 20;
constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint64_t kElf32HeaderSize = 52;
constexpr unsigned char kElfClass32 = 1;

uint16_t read16(const unsigned char* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

uint32_t read32(const unsigned char* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

} // namespace

int64_t peHeadersOffset(const unsigned char* data, uint64_t size) {
    if (!data || size < kDosHeaderSize || data[0] != 'M' || data[1] != 'Z')
        return -1;
    const int32_t offset = static_cast<int32_t>(read32(data + kNtHeadersOffsetField));
    if (offset < 0 || uint64_t(offset) + kSignatureSize + kFileHeaderSize > size)
        return -1;
    return offset;
}

bool isValidPe(const unsigned char* data, uint64_t size) {
    const int64_t offset = peHeadersOffset(data, size);
    if (offset < 0)
        return false;
    // The system helper is trusted only where the checked offset points.
    const unsigned char* headers = platform::locateNtHeaders(data);
    return headers == data + offset && read32(headers) == 0x00004550;
}

bool isI386(const unsigned char* data, uint64_t size) {
    if (!isValidPe(data, size))
        return false;
    return read16(data + peHeadersOffset(data, size) + kSignatureSize) == kMachineI386;
}

bool isElf32(const unsigned char* data, uint64_t size) {
    return data && size >= kElf32HeaderSize && data[0] == 0x7F && data[1] == 'E' &&
           data[2] == 'L' && data[3] == 'F' && data[4] == kElfClass32;
}

bool is32BitLibrary(const unsigned char* data, uint64_t size) {
    return platform::kLibraryImageFormat == platform::LibraryImageFormat::Pe ? isI386(data, size)
                                                                             : isElf32(data, size);
}

bool isCompleteElfImage(const unsigned char* data, uint64_t size) {
    if (!data || size < 6 || data[0] != 0x7F || data[1] != 'E' || data[2] != 'L' || data[3] != 'F')
        return true;
    const bool is64 = data[4] == 2;
    if (data[5] != 1) // big-endian images are not this system's
        return true;
    const uint64_t headerSize = is64 ? 64 : 52;
    if (size < headerSize)
        return false;
    auto read64 = [&](uint64_t at) {
        return uint64_t{read32(data + at)} | uint64_t{read32(data + at + 4)} << 32;
    };
    const uint64_t tableOffset = is64 ? read64(32) : read32(data + 28);
    const uint64_t entrySize = read16(data + (is64 ? 54 : 42));
    const uint64_t entries = read16(data + (is64 ? 56 : 44));
    const uint64_t minimumEntry = is64 ? 56 : 32;
    if (entries == 0)
        return true;
    if (entrySize < minimumEntry || tableOffset > size || entries * entrySize > size - tableOffset)
        return false;
    constexpr uint32_t kLoad = 1;
    for (uint64_t i = 0; i < entries; ++i) {
        const uint64_t at = tableOffset + i * entrySize;
        if (read32(data + at) != kLoad)
            continue;
        const uint64_t offset = is64 ? read64(at + 8) : read32(data + at + 4);
        const uint64_t fileSize = is64 ? read64(at + 32) : read32(data + at + 16);
        if (offset > size || fileSize > size - offset)
            return false;
    }
    return true;
}

bool isLoadableLibraryFile(const WideString& path) {
    const std::optional<uint64_t> size = platform::regularFileSize(path);
    if (!size)
        return false;
    if (*size == 0)
        return true; // nothing to check: the loader refuses it
    const platform::MappedImage image(path);
    return !image.isOpen() || isCompleteElfImage(image.data(), image.size());
}

bool isJvmLibrary32Bit(const WideString& jvmLibraryPath) {
    const platform::MappedImage image(jvmLibraryPath);
    return image.isOpen() && is32BitLibrary(image.data(), image.size());
}

} // namespace noviq
