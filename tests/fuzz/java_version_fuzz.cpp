// Java version numbers: parsing agrees with a second, string-based reading; comparison
// agrees with comparing the component tuples (so it is a total order); a printed version
// reads back to the same significant components.
#include <array>

#include "fuzz_support.h"
#include "jre/java_version.h"

namespace {

using Tuple = std::array<int32_t, 4>;

Tuple tuple(const JavaVersion& v) {
    return {v.component(0), v.component(1), v.component(2), v.component(3)};
}

// Maximal digit runs, compared as decimal text against the largest 32-bit value, so that
// no arithmetic is shared with the parser.
void checkParse(const std::u16string& text, int32_t fill, JavaVersion& version) {
    const bool ok = version.parse(wide(text), fill);
    Pieces runs;
    for (size_t i = text.find_first_of(kDigits); i != text.npos;) {
        const size_t end = text.find_first_not_of(kDigits, i);
        std::u16string run = text.substr(i, end - i);
        run.erase(0, std::min(run.find_first_not_of(u'0'), run.size() - 1));
        runs.push_back(run);
        i = text.find_first_of(kDigits, end);
    }
    bool fits = !runs.empty();
    Tuple expected{fill, fill, fill, fill};
    for (size_t g = 0; g < 4 && g < runs.size() && fits; ++g) {
        fits = runs[g].size() < 10 || (runs[g].size() == 10 && runs[g] <= u"2147483647");
        expected[g] = fits ? std::stoi(std::string(runs[g].begin(), runs[g].end())) : 0;
    }
    FUZZ_CHECK(ok == fits);
    FUZZ_CHECK(version.count() ==
               (ok ? static_cast<int32_t>(std::min<size_t>(runs.size(), 5)) : 0));
    FUZZ_CHECK(tuple(version) == (ok ? expected : Tuple{}));
}

void checkPrinted(const JavaVersion& version) {
    const std::u16string printed = u16(version.format());
    FUZZ_CHECK(printed.find_first_not_of(u".0123456789") == printed.npos);
    // Only a component that means "nothing" may be left out of the text.
    auto meansNothing = [&](int i) {
        return version.component(i) == 0 || version.component(i) == JavaVersion::kOpen;
    };
    JavaVersion again;
    FUZZ_CHECK(again.parse(wide(printed), 0) && again.count() >= 2 && again.count() <= 4);
    for (int i = 0; i < 4; ++i)
        FUZZ_CHECK((printed == u"0.0.0.0" || i >= again.count())
                       ? meansNothing(i)
                       : again.component(i) == version.component(i));
}

} // namespace

FUZZ_TEXT_TARGET(text) {
    // Up to three versions, one a line; the first character also picks the fill.
    Pieces lines = split(text, u'\n');
    lines.resize(3);
    const int32_t fill = !text.empty() && (text[0] & 1) ? JavaVersion::kOpen : 0;
    JavaVersion v[3];
    for (int i = 0; i < 3; ++i) {
        checkParse(lines[i], fill, v[i]);
        checkPrinted(v[i]);
    }
    for (const JavaVersion& a : v)
        for (const JavaVersion& b : v) {
            const int c = a.compare(b);
            FUZZ_CHECK((c < 0) == (tuple(a) < tuple(b)) && (c == 0) == (tuple(a) == tuple(b)));
        }
    // Any two texts make a range that can say what it requires.
    FUZZ_CHECK(!JavaVersionRange(wide(lines[0]), wide(lines[1])).describeRequirement().isEmpty());
}
