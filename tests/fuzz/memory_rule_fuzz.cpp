// Heap and stack sizes from the machine's memory, and byte sizes. Properties: a rewritten
// token is its start, a kilobyte count and "K"; a bare percentage gives that share of the
// base within a double's rounding; more memory never gives less; "-Xss" kilobytes read back
// as bytes; a byte size is its exact value, saturated, leading zeros or not.
#include <fuzzer/FuzzedDataProvider.h>

#include "base/format.h"
#include "fuzz_support.h"
#include "jvm/jvm_options.h"

namespace {

using u128 = unsigned __int128;

uint64_t capped(u128 value) {
    return value > UINT64_MAX ? UINT64_MAX : static_cast<uint64_t>(value);
}

u128 decimal(std::u16string_view digits) {
    u128 value = 0;
    for (char16_t c : digits)
        value = value * 10 + (c - u'0');
    return value;
}

// The kilobytes of a rewritten token: the start of the token, digits without a leading
// zero, and "K".
uint64_t kilobytes(const std::u16string& token, const std::u16string& result) {
    FUZZ_CHECK(result.size() >= 2 && result.back() == u'K');
    const size_t start = result.find_last_not_of(kDigits, result.size() - 2) + 1;
    const size_t digits = result.size() - 1 - start;
    FUZZ_CHECK(start >= 4 && digits >= 1 && digits <= 20 && (digits == 1 || result[start] != u'0'));
    FUZZ_CHECK(token.starts_with(std::u16string_view(result).substr(0, start)));
    const u128 kb = decimal(std::u16string_view(result).substr(start, digits));
    FUZZ_CHECK(kb <= UINT64_MAX);
    return static_cast<uint64_t>(kb);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider provider(data, size);
    const MemoryStatus memory{provider.ConsumeIntegral<uint64_t>(),
                              provider.ConsumeIntegral<uint64_t>()};
    const uint64_t extra = provider.ConsumeIntegral<uint64_t>();
    const MemoryStatus more{capped(u128{memory.totalPhysicalBytes} + extra),
                            capped(u128{memory.availableVirtualBytes} + extra)};
    const uint64_t number = provider.ConsumeIntegral<uint64_t>();
    const unsigned unit = provider.ConsumeIntegralInRange(0, 3);
    const std::vector<uint8_t> rest = provider.ConsumeRemainingBytes<uint8_t>();
    const std::u16string token = textFromBytes(rest.data(), rest.size());

    std::u16string written = u16(decimalUnsigned(number));
    if (unit > 0)
        written += u" KMG"[unit];
    FUZZ_CHECK(parseByteSize(wide(written)) == capped(u128{number} << 10 * unit));
    if (!token.empty() && token[0] >= u'0' && token[0] <= u'9')
        FUZZ_CHECK(parseByteSize(wide(u"0" + token)) == parseByteSize(wide(token)));

    const std::u16string result = u16(applyMemoryRule(wide(token), memory));
    if (result == token)
        return 0;
    const uint64_t kb = kilobytes(token, result);
    FUZZ_CHECK(kilobytes(token, u16(applyMemoryRule(wide(token), more))) >= kb);
    if (token.starts_with(u"-Xss") && result.find_first_of(kDigits) == 4)
        FUZZ_CHECK(parseByteSize(wide(result.substr(4))) == capped(u128{kb} * 1024));

    // A bare percentage, "<option><digits><unit>": the share of the base. A double carries
    // 53 bits: allow that relative error, and one kilobyte, either way.
    const std::u16string_view percent = std::u16string_view(token).substr(4, token.size() - 5);
    if (percent.empty() || percent.size() > 19 ||
        percent.find_first_not_of(kDigits) != percent.npos)
        return 0;
    const bool physical = token.back() == u'P' || token.back() == u'p';
    const uint64_t base =
        (physical ? memory.totalPhysicalBytes : memory.availableVirtualBytes) >> 10;
    const u128 exact = u128{base} * decimal(percent) / 100, slack = exact / (u128{1} << 50) + 1;
    FUZZ_CHECK(kb >= capped(exact > slack ? exact - slack : 0) && kb <= capped(exact + slack));
    return 0;
}
