// The argument area of a single-instance request. Properties: arguments that fit round-trip
// exactly, and exactly those that do not are refused (area zeroed); decoding a damaged area
// reads nothing past it and gives a list that round-trips.
#include "common/instance_arguments.h"
#include "fuzz_support.h"

namespace {

using Area = unsigned char[kInstanceAreaBytes];

// An area alone in its heap block (so that the sanitizer sees a read past it), holding the
// bytes given, cut or padded with `fill`.
struct HeapArea {
    std::unique_ptr<unsigned char[]> bytes{new unsigned char[kInstanceAreaBytes]};
    HeapArea(const uint8_t* data, size_t size, unsigned char fill) {
        std::memset(bytes.get(), fill, kInstanceAreaBytes);
        std::memcpy(bytes.get(), data, std::min(size, kInstanceAreaBytes));
    }
    operator Area&() { return *reinterpret_cast<Area*>(bytes.get()); }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The input as an area.
    const StringList found = decodeInstanceArguments(HeapArea(data, size, 0));
    HeapArea again(data, 0, 0);
    FUZZ_CHECK(encodeInstanceArguments(found, again));
    FUZZ_CHECK(items(decodeInstanceArguments(again)) == items(found));

    // The input as arguments, one a line.
    StringList arguments;
    size_t needed = 2;
    for (const std::u16string& argument : split(textFromBytes(data, size), u'\n')) {
        arguments.add(wide(argument));
        needed += 2 + 2 * argument.size();
    }
    HeapArea area(data, 0, 0xA5);
    const bool fits = encodeInstanceArguments(arguments, area);
    FUZZ_CHECK(fits == (needed <= kInstanceAreaBytes));
    FUZZ_CHECK(fits ? items(decodeInstanceArguments(area)) == items(arguments)
                    : std::all_of(area.bytes.get(), area.bytes.get() + kInstanceAreaBytes,
                                  [](unsigned char b) { return b == 0; }));
    return 0;
}
