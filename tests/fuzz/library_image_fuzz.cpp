// PE and ELF header checks over bytes of any kind. Properties: nothing outside the bytes
// is read (each check also runs on exact-size copies of shorter prefixes, under the
// address sanitizer); each answer agrees with a second reading made through the system's
// own ELF structures and plain PE offsets in 128-bit arithmetic; more bytes never turn a
// valid PE image invalid or a complete ELF image incomplete.
#include <elf.h>

#include <cstring>
#include <memory>

#include "fuzz_support.h"
#include "jre/library_image.h"

namespace noviq {
namespace {

using i128 = __int128;

int64_t referencePeOffset(const unsigned char* data, uint64_t size) {
    if (size < 64 || data[0] != 'M' || data[1] != 'Z')
        return -1;
    int32_t lfanew; // this system is little-endian, as the images are
    std::memcpy(&lfanew, data + 0x3C, 4);
    if (lfanew < 0 || i128{lfanew} + 4 + 20 > i128{size})
        return -1;
    return lfanew;
}

bool referenceValidPe(const unsigned char* data, uint64_t size) {
    const int64_t at = referencePeOffset(data, size);
    return at >= 0 && std::memcmp(data + at, "PE\0\0", 4) == 0;
}

bool referenceI386(const unsigned char* data, uint64_t size) {
    if (!referenceValidPe(data, size))
        return false;
    uint16_t machine;
    std::memcpy(&machine, data + referencePeOffset(data, size) + 4, 2);
    return machine == 0x014C;
}

bool isElf(const unsigned char* data, uint64_t size) {
    return size >= 6 && std::memcmp(data, ELFMAG, SELFMAG) == 0;
}

bool referenceElf32(const unsigned char* data, uint64_t size) {
    return size >= sizeof(Elf32_Ehdr) && isElf(data, size) && data[EI_CLASS] == ELFCLASS32;
}

template <class Header, class ProgramHeader>
bool referenceComplete(const unsigned char* data, uint64_t size) {
    if (size < sizeof(Header))
        return false;
    Header header;
    std::memcpy(&header, data, sizeof header);
    if (header.e_phnum == 0)
        return true;
    if (header.e_phentsize < sizeof(ProgramHeader) ||
        i128{header.e_phoff} + i128{header.e_phnum} * header.e_phentsize > i128{size})
        return false;
    for (unsigned i = 0; i < header.e_phnum; ++i) {
        ProgramHeader segment;
        std::memcpy(&segment, data + header.e_phoff + i * header.e_phentsize, sizeof segment);
        if (segment.p_type == PT_LOAD && i128{segment.p_offset} + segment.p_filesz > i128{size})
            return false;
    }
    return true;
}

void checkImage(const unsigned char* data, uint64_t size) {
    const int64_t offset = peHeadersOffset(data, size);
    FUZZ_CHECK(offset == referencePeOffset(data, size));
    const bool validPe = isValidPe(data, size);
    FUZZ_CHECK(validPe == referenceValidPe(data, size));
    FUZZ_CHECK(isI386(data, size) == referenceI386(data, size));
    FUZZ_CHECK(isElf32(data, size) == referenceElf32(data, size));
    FUZZ_CHECK(is32BitLibrary(data, size) == referenceElf32(data, size)); // Linux: ELF
    const bool complete = isCompleteElfImage(data, size);
    // Only little-endian images of a known class are checked; any other is left to the
    // loader.
    if (!isElf(data, size) || data[EI_DATA] != ELFDATA2LSB)
        FUZZ_CHECK(complete);
    else if (data[EI_CLASS] == ELFCLASS64)
        FUZZ_CHECK(complete == (referenceComplete<Elf64_Ehdr, Elf64_Phdr>(data, size)));
    else if (data[EI_CLASS] == ELFCLASS32)
        FUZZ_CHECK(complete == (referenceComplete<Elf32_Ehdr, Elf32_Phdr>(data, size)));
}

} // namespace
} // namespace noviq

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace noviq;
    checkImage(data, size);
    FUZZ_CHECK(!isValidPe(nullptr, size) && !isElf32(nullptr, size) &&
               isCompleteElfImage(nullptr, size));
    // Prefixes cut at a few places, each in a buffer of its own exact size.
    const size_t cuts[] = {size / 2, size > 0 ? size - 1 : 0, size > 64 ? 64 : size};
    for (size_t cut : cuts) {
        std::unique_ptr<unsigned char[]> prefix(new unsigned char[cut ? cut : 1]);
        std::memcpy(prefix.get(), data, cut);
        checkImage(prefix.get(), cut);
        if (isValidPe(prefix.get(), cut))
            FUZZ_CHECK(isValidPe(data, size));
        if (cut >= 6 && !isCompleteElfImage(data, size))
            FUZZ_CHECK(!isCompleteElfImage(prefix.get(), cut));
    }
    return 0;
}
