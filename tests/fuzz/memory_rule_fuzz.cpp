// Heap and stack sizes from the machine's memory, and byte sizes. Properties: only a
// "-Xms", "-Xmx" or "-Xss" token ending in P/p/T/t changes; a rewritten token keeps its
// option, holds a plain kilobyte count and is left alone by a second pass; the count is
// the percentage of the base (within the rounding of a double) kept between the minimum
// and maximum; more memory never gives less; a stack size written back in kilobytes reads
// as that many bytes; a byte size reads as its exact value, saturated at the largest
// 64-bit value.
#include <fuzzer/FuzzedDataProvider.h>

#include <string>

#include "base/format.h"
#include "fuzz_support.h"
#include "jvm/jvm_options.h"

namespace noviq {
namespace {

using fuzz::u16;
using fuzz::wide;
using u128 = unsigned __int128;

constexpr uint64_t kMax = UINT64_MAX;

uint64_t capped(u128 value) {
    return value > kMax ? kMax : static_cast<uint64_t>(value);
}

bool digit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// A decimal number of any length, saturated.
uint64_t decimalValue(std::u16string_view digits) {
    u128 value = 0;
    for (char16_t c : digits)
        value = value * 10 + (c - u'0') > kMax ? u128{kMax} + 1 : value * 10 + (c - u'0');
    return capped(value);
}

bool ruleApplies(const std::u16string& token) {
    if (token.size() < 5)
        return false;
    const std::u16string option = token.substr(0, 4);
    const char16_t unit = token.back();
    return (option == u"-Xms" || option == u"-Xmx" || option == u"-Xss") &&
           (unit == u'P' || unit == u'p' || unit == u'T' || unit == u't');
}

// The kilobytes of a rewritten token, which must be the option text, digits and "K".
uint64_t rewrittenKilobytes(const std::u16string& token, const std::u16string& result) {
    size_t numbersStart = 0;
    while (numbersStart < token.size() - 1 && !digit(token[numbersStart]) &&
           token[numbersStart] != u':')
        ++numbersStart;
    FUZZ_CHECK(result.compare(0, numbersStart, token, 0, numbersStart) == 0);
    const std::u16string number = result.substr(numbersStart);
    FUZZ_CHECK(number.size() >= 2 && number.back() == u'K');
    for (size_t i = 0; i + 1 < number.size(); ++i)
        FUZZ_CHECK(digit(number[i]));
    FUZZ_CHECK(number.size() == 2 || number[0] != u'0'); // no leading zeros
    return decimalValue(std::u16string_view(number).substr(0, number.size() - 1));
}

void checkMemoryRule(const std::u16string& token, const MemoryStatus& memory,
                     const MemoryStatus& more) {
    const std::u16string result = u16(applyMemoryRule(wide(token), memory));
    if (!ruleApplies(token)) {
        FUZZ_CHECK(result == token);
        return;
    }
    const uint64_t kb = rewrittenKilobytes(token, result);
    FUZZ_CHECK(u16(applyMemoryRule(wide(result), memory)) == result);
    const uint64_t moreKb = rewrittenKilobytes(token, u16(applyMemoryRule(wide(token), more)));
    FUZZ_CHECK(moreKb >= kb);
    if (token.compare(0, 4, u"-Xss") == 0 && digit(result[4]))
        FUZZ_CHECK(parseByteSize(wide(result.substr(4))) == capped(u128{kb} * 1024));

    // Exact figures for a token written as "<option><percent>[:<min>[:<max>]]<unit>".
    std::u16string_view numbers = std::u16string_view(token).substr(4, token.size() - 5);
    std::u16string_view fields[3];
    size_t count = 0;
    while (count < 3) {
        fields[count++] = fuzz::nextPiece(numbers, u':');
        if (numbers.empty())
            break;
    }
    if (!numbers.empty() || fields[0].empty())
        return;
    for (size_t i = 0; i < count; ++i)
        for (char16_t c : fields[i])
            if (!digit(c))
                return;
    const uint64_t percent = decimalValue(fields[0]);
    const uint64_t minimumKb = capped(u128{decimalValue(fields[1])} * 1024);
    const uint64_t maximumMb = decimalValue(fields[2]);
    const uint64_t maximumKb = capped(u128{maximumMb} * 1024);
    const char16_t unit = token.back();
    const uint64_t base =
        (unit == u'P' || unit == u'p' ? memory.totalPhysicalBytes : memory.availableVirtualBytes) >>
        10;
    // A double carries 53 bits: allow that relative error, and one kilobyte, either way.
    const u128 exact = u128{base} * percent / 100;
    const u128 slack = exact / (u128{1} << 50) + 1;
    auto clamp = [&](u128 size) {
        uint64_t kbs = capped(size);
        if (maximumMb != 0 && kbs > maximumKb)
            kbs = maximumKb;
        return kbs < minimumKb ? minimumKb : kbs;
    };
    FUZZ_CHECK(kb >= clamp(exact > slack ? exact - slack : 0));
    FUZZ_CHECK(kb <= clamp(exact + slack));
}

void checkByteSize(const std::u16string& text, uint64_t number, uint8_t unitPick) {
    const uint64_t size = parseByteSize(wide(text));
    if (text.empty() || !digit(text[0]) || text.find(u':') != text.npos)
        FUZZ_CHECK(size == 0);

    static const char16_t* const units[] = {u"", u"K", u"k", u"M", u"m", u"G", u"g"};
    static const unsigned shifts[] = {0, 10, 10, 20, 20, 30, 30};
    const size_t u = unitPick % 7;
    const std::u16string written = u16(decimalUnsigned(number)) + units[u];
    FUZZ_CHECK(parseByteSize(wide(written)) == capped(u128{number} << shifts[u]));

    // Digits and an optional unit: the exact value, however many digits.
    size_t end = text.size();
    unsigned shift = 0;
    if (!text.empty() && !digit(text.back())) {
        const char16_t last = text.back();
        shift = last == u'K' || last == u'k'   ? 10
                : last == u'M' || last == u'm' ? 20
                : last == u'G' || last == u'g' ? 30
                                               : 0;
        if (shift == 0)
            return;
        --end;
    }
    if (end == 0)
        return;
    for (size_t i = 0; i < end; ++i)
        if (!digit(text[i]))
            return;
    const u128 value = decimalValue(std::u16string_view(text).substr(0, end));
    FUZZ_CHECK(size == capped(value << shift));
}

} // namespace
} // namespace noviq

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace noviq;
    FuzzedDataProvider provider(data, size);
    MemoryStatus memory;
    memory.totalPhysicalBytes = provider.ConsumeIntegral<uint64_t>();
    memory.availableVirtualBytes = provider.ConsumeIntegral<uint64_t>();
    const uint64_t extra = provider.ConsumeIntegral<uint64_t>();
    const uint64_t number = provider.ConsumeIntegral<uint64_t>();
    const uint8_t unitPick = provider.ConsumeIntegral<uint8_t>();
    MemoryStatus more = memory;
    more.totalPhysicalBytes = capped(u128{more.totalPhysicalBytes} + extra);
    more.availableVirtualBytes = capped(u128{more.availableVirtualBytes} + extra);
    const std::vector<uint8_t> rest = provider.ConsumeRemainingBytes<uint8_t>();
    const std::u16string token = fuzz::textFromBytes(rest.data(), rest.size());

    checkMemoryRule(token, memory, more);
    checkByteSize(token, number, unitPick);
    return 0;
}
