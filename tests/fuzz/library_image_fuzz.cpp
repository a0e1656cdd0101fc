// PE and ELF header checks over bytes of any kind. Properties: nothing outside the bytes is
// read (exact-size prefixes too); the PE headers lie inside them; the ELF answers agree with
// a reading through <elf.h> in 128-bit arithmetic; more bytes never make a valid PE image
// invalid or a complete ELF image incomplete.
#include <elf.h>

#include "fuzz_support.h"
#include "jre/library_image.h"

namespace {

using i128 = __int128;

template <class Header, class ProgramHeader>
bool referenceComplete(const unsigned char* data, uint64_t size) {
    if (size < sizeof(Header))
        return false;
    Header header;
    std::memcpy(&header, data, sizeof header);
    if (header.e_phnum > 0 &&
        (header.e_phentsize < sizeof(ProgramHeader) ||
         i128{header.e_phoff} + i128{header.e_phnum} * header.e_phentsize > i128{size}))
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
    FUZZ_CHECK(offset == -1 || (offset >= 0 && offset + 24 <= static_cast<int64_t>(size)));
    const bool validPe = isValidPe(data, size);
    FUZZ_CHECK(!validPe || (offset >= 0 && std::memcmp(data + offset, "PE\0\0", 4) == 0));
    FUZZ_CHECK(validPe || !isI386(data, size));
    const bool elf = size >= 6 && std::memcmp(data, ELFMAG, SELFMAG) == 0;
    FUZZ_CHECK(isElf32(data, size) ==
               (elf && size >= sizeof(Elf32_Ehdr) && data[EI_CLASS] == ELFCLASS32));
    const bool complete = isCompleteElfImage(data, size);
    // Only little-endian images of a known class are checked; others are the loader's.
    if (!elf || data[EI_DATA] != ELFDATA2LSB)
        FUZZ_CHECK(complete);
    else if (data[EI_CLASS] == ELFCLASS64)
        FUZZ_CHECK(complete == (referenceComplete<Elf64_Ehdr, Elf64_Phdr>(data, size)));
    else if (data[EI_CLASS] == ELFCLASS32)
        FUZZ_CHECK(complete == (referenceComplete<Elf32_Ehdr, Elf32_Phdr>(data, size)));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    checkImage(data, size);
    // Prefixes cut at a few places, each in a buffer of its own exact size.
    for (size_t cut : {size / 2, size > 0 ? size - 1 : 0, std::min<size_t>(size, 64)}) {
        const std::unique_ptr<unsigned char[]> prefix = exactCopy(data, cut);
        checkImage(prefix.get(), cut);
        FUZZ_CHECK(!isValidPe(prefix.get(), cut) || isValidPe(data, size));
        FUZZ_CHECK(cut < 6 || isCompleteElfImage(data, size) ||
                   !isCompleteElfImage(prefix.get(), cut));
    }
    return 0;
}
