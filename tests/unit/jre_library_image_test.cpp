// The 32-bit library check over hostile bytes: PE headers named by a DOS header, truncation
// at every boundary. Each buffer is exactly as long as the case says, so a read past its end
// shows up under AddressSanitizer. These run on Windows too, where the PE check also asks the
// system's own header helper; the ELF checks are tests/fuzz/library_image_fuzz.cpp's.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "jre/library_image.h"
#include "jre/runtime_search.h"
#include "platform/image_headers.h"
#include "platform/runtime_layout.h"
#include "test_support.h"

namespace noviq {
namespace {

using Bytes = std::vector<unsigned char>;

void put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// A DOS header naming NT headers at `ntOffset`: signature, then the 20-byte file header.
Bytes peImage(uint16_t machine, uint32_t ntOffset = 0x80, size_t size = 0x200) {
    Bytes b(size, 0);
    b[0] = 'M';
    b[1] = 'Z';
    put32(b, 0x3C, ntOffset);
    if (uint64_t{ntOffset} + 24 <= size) {
        b[ntOffset] = 'P';
        b[ntOffset + 1] = 'E';
        put32(b, ntOffset + 4, machine); // and no sections
    }
    return b;
}

Bytes elf32Image() {
    Bytes b(64, 0);
    const unsigned char ident[] = {0x7F, 'E', 'L', 'F', 1, 1, 1};
    std::copy(std::begin(ident), std::end(ident), b.begin());
    return b;
}

Bytes resized(Bytes b, size_t size) {
    b.resize(size);
    b.shrink_to_fit();
    return b;
}

Bytes patched(Bytes b, size_t at, unsigned char value) {
    b[at] = value;
    return b;
}

constexpr uint16_t kI386 = 0x014C;
constexpr uint16_t kAmd64 = 0x8664;

// The end of the headers is met from both sides (an exact fit, one byte short); offsets that
// fit only after a 32-bit wrap-around, signed or not, must fail too.
TEST(LibraryImage, PeHeadersAreCheckedAgainstTheImageSize) {
    const struct {
        const char* name;
        Bytes image;
        bool validPe;
        bool i386;
    } cases[] = {
        {"i386", peImage(kI386), true, true},
        {"amd64", peImage(kAmd64), true, false},
        {"headers end exactly at the end of the file", peImage(kI386, 0x80, 0x80 + 24), true, true},
        {"file header cut by one byte", resized(peImage(kI386), 0x80 + 23), false, false},
        {"DOS header cut by one byte", resized(peImage(kI386), 63), false, false},
        {"empty", Bytes{}, false, false},
        {"huge offset", peImage(kI386, 0x7FFFFFF0), false, false},
        {"negative offset", peImage(kI386, 0xFFFFFFF0), false, false},
        {"no MZ", patched(peImage(kI386), 0, 'Z'), false, false},
        {"PE\\0\\1 signature", patched(peImage(kI386), 0x80 + 3, 1), false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const unsigned char* data = c.image.empty() ? nullptr : c.image.data();
        EXPECT_EQ(isValidPe(data, c.image.size()), c.validPe);
        EXPECT_EQ(isI386(data, c.image.size()), c.i386);
    }
}

// The chosen library is read through a file mapping in this system's own library format;
// its architecture counts only when a paired program could take over.
TEST(LibraryImage, ArchitectureOfTheConfiguredRuntime) {
    const bool pe = platform::kLibraryImageFormat == platform::LibraryImageFormat::Pe;
    auto text = [](const Bytes& b) { return std::string(b.begin(), b.end()); };
    const std::string native32 = text(pe ? peImage(kI386) : elf32Image());
    const std::string foreign32 = text(pe ? elf32Image() : peImage(kI386));
    const std::string library =
        std::filesystem::path(
            test::u16(platform::jvmLibrarySubpaths(platform::JvmFlavour::Server)[0]))
            .string();

    const struct {
        const char* name;
        bool paired;
        std::string content;
        bool expected;
    } cases[] = {
        {"32-bit with a paired program", true, native32, true},
        {"32-bit without a paired program", false, native32, false},
        {"32-bit of the other system's format", true, foreign32, false},
        {"empty file", true, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempFolder folder;
        RuntimeRequest request;
        request.jrePath = test::wide(folder.path());
        request.pairedProgramAvailable = c.paired;
        const WideString written = test::wide(folder.write(library, c.content));
        const std::optional<RuntimeChoice> choice = findRuntime(request, test::wide(folder.path()));
        ASSERT_TRUE(choice.has_value());
        EXPECT_EQ(test::u16(choice->jvmLibraryPath), test::u16(written));
        EXPECT_EQ(choice->is32Bit, c.expected);
    }
    test::TempFolder empty;
    EXPECT_FALSE(isJvmLibrary32Bit(test::wide(empty.path() / "absent")));
}

} // namespace
} // namespace noviq
