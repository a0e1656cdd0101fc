// The argument area of a single-instance request. Properties: arguments that fit come back
// from the area exactly, and the encoder refuses exactly those that do not fit (leaving
// the area zeroed); the decoder reads nothing past the area, and whatever it reads from a
// damaged area encodes again and decodes to the same list.
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/instance_arguments.h"
#include "fuzz_support.h"

namespace noviq {
namespace {

using fuzz::items;
using fuzz::wide;
using Area = unsigned char[kInstanceAreaBytes];

// An area alone in its heap block, so that the sanitizer sees a read past it.
struct HeapArea {
    std::unique_ptr<unsigned char[]> bytes{new unsigned char[kInstanceAreaBytes]};
    Area& get() { return *reinterpret_cast<Area*>(bytes.get()); }
};

bool allZero(const Area& area) {
    for (unsigned char b : area)
        if (b != 0)
            return false;
    return true;
}

} // namespace
} // namespace noviq

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace noviq;
    // The input as an area (cut or padded with zeros).
    HeapArea damaged;
    std::memset(damaged.get(), 0, kInstanceAreaBytes);
    std::memcpy(damaged.get(), data, size < kInstanceAreaBytes ? size : kInstanceAreaBytes);
    const StringList found = decodeInstanceArguments(damaged.get());
    HeapArea again;
    FUZZ_CHECK(encodeInstanceArguments(found, again.get()));
    FUZZ_CHECK(items(decodeInstanceArguments(again.get())) == items(found));

    // The input as arguments, one a line.
    const std::u16string text = fuzz::textFromBytes(data, size);
    StringList arguments;
    size_t needed = 2;
    for (size_t start = 0; !text.empty();) {
        const size_t end = text.find(u'\n', start);
        const std::u16string argument = text.substr(start, end - start);
        arguments.add(wide(argument));
        needed += 2 + 2 * argument.size();
        if (end == text.npos)
            break;
        start = end + 1;
    }
    HeapArea area;
    std::memset(area.get(), 0xA5, kInstanceAreaBytes);
    const bool fits = encodeInstanceArguments(arguments, area.get());
    FUZZ_CHECK(fits == (needed <= kInstanceAreaBytes));
    if (fits)
        FUZZ_CHECK(items(decodeInstanceArguments(area.get())) == items(arguments));
    else
        FUZZ_CHECK(allZero(area.get()));
    return 0;
}
