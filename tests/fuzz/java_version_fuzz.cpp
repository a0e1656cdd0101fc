// Java version numbers: parsing agrees with a second, string-based reading; comparison is a
// total order that agrees with comparing the component tuples; a printed version reads
// back to the same significant components; a range holds exactly what lies between its
// bounds.
#include <array>
#include <string>

#include "fuzz_support.h"
#include "jre/java_version.h"

namespace noviq {
namespace {

using fuzz::u16;
using fuzz::wide;

bool digit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

struct Reading {
    bool ok = false;
    int32_t count = 0;
    std::array<int32_t, 4> components{0, 0, 0, 0};
};

// Maximal digit runs, compared as decimal text against the largest 32-bit value, so that
// no arithmetic is shared with the parser.
Reading referenceParse(const std::u16string& text, int32_t fill) {
    std::vector<std::u16string> runs;
    for (size_t i = 0; i < text.size();) {
        if (!digit(text[i])) {
            ++i;
            continue;
        }
        size_t end = i;
        while (end < text.size() && digit(text[end]))
            ++end;
        runs.push_back(text.substr(i, end - i));
        i = end;
    }
    Reading r;
    if (runs.empty())
        return r;
    for (size_t g = 0; g < 4; ++g) {
        if (g >= runs.size()) {
            r.components[g] = fill;
            continue;
        }
        std::u16string run = runs[g];
        const size_t first = run.find_first_not_of(u'0');
        run = first == run.npos ? u"0" : run.substr(first);
        if (run.size() > 10 || (run.size() == 10 && run > u"2147483647"))
            return Reading();
        int64_t value = 0;
        for (char16_t c : run)
            value = value * 10 + (c - u'0');
        r.components[g] = static_cast<int32_t>(value);
    }
    r.ok = true;
    r.count = runs.size() > 4 ? 5 : static_cast<int32_t>(runs.size());
    return r;
}

std::array<int32_t, 4> tuple(const JavaVersion& v) {
    return {v.component(0), v.component(1), v.component(2), v.component(3)};
}

void checkParse(const std::u16string& text, int32_t fill, JavaVersion& version) {
    const bool ok = version.parse(wide(text), fill);
    const Reading expected = referenceParse(text, fill);
    FUZZ_CHECK(ok == expected.ok);
    FUZZ_CHECK(version.count() == expected.count);
    if (ok)
        FUZZ_CHECK(tuple(version) == expected.components);
    else
        FUZZ_CHECK(tuple(version) == (std::array<int32_t, 4>{0, 0, 0, 0}));
}

void checkPrinted(const JavaVersion& version) {
    const std::u16string printed = u16(version.format());
    auto trimmed = [](int32_t c) { return c == 0 || c == JavaVersion::kOpen; };
    if (printed == u"0.0.0.0") {
        for (int i = 0; i < 4; ++i)
            FUZZ_CHECK(trimmed(version.component(i)));
        return;
    }
    for (char16_t c : printed)
        FUZZ_CHECK(digit(c) || c == u'.');
    for (int32_t fill : {0, JavaVersion::kOpen}) {
        JavaVersion again;
        FUZZ_CHECK(again.parse(wide(printed), fill));
        const int32_t shown = again.count();
        FUZZ_CHECK(shown >= 2 && shown <= 4);
        for (int i = 0; i < 4; ++i) {
            if (i < shown)
                FUZZ_CHECK(again.component(i) == version.component(i));
            else // only a component that means "nothing" may be left out of the text
                FUZZ_CHECK(trimmed(version.component(i)));
        }
    }
}

int sign(int value) {
    return (value > 0) - (value < 0);
}

} // namespace
} // namespace noviq

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace noviq;
    // Up to three versions, one a line; the first byte also picks the fill.
    const std::u16string text = fuzz::textFromBytes(data, size);
    std::u16string_view rest = text;
    std::u16string lines[3];
    for (std::u16string& line : lines)
        line = fuzz::nextPiece(rest, u'\n');
    const int32_t fill = size > 0 && (data[0] & 1) ? JavaVersion::kOpen : 0;

    JavaVersion v[3];
    for (int i = 0; i < 3; ++i) {
        checkParse(lines[i], fill, v[i]);
        checkPrinted(v[i]);
    }
    for (int i = 0; i < 3; ++i) {
        FUZZ_CHECK(v[i].compare(v[i]) == 0);
        for (int j = 0; j < 3; ++j) {
            const int c = v[i].compare(v[j]);
            FUZZ_CHECK(c == -v[j].compare(v[i]));
            FUZZ_CHECK(sign(c) == ((tuple(v[i]) > tuple(v[j])) - (tuple(v[i]) < tuple(v[j]))));
            FUZZ_CHECK((v[i] == v[j]) == (c == 0) && (v[i] < v[j]) == (c < 0) &&
                       (v[i] > v[j]) == (c > 0));
            for (int k = 0; k < 3; ++k)
                if (c <= 0 && v[j].compare(v[k]) <= 0)
                    FUZZ_CHECK(v[i].compare(v[k]) <= 0);
        }
    }
    // The range of the first two lines as bounds holds the third exactly when it lies
    // between them.
    const JavaVersionRange range(wide(lines[0]), wide(lines[1]));
    JavaVersion minimum = JavaVersion::lowest();
    if (lines[0] != u"any")
        minimum.parse(wide(lines[0]), 0);
    FUZZ_CHECK(tuple(range.minimum) == tuple(minimum));
    // "any" and a maximum without digits set no upper bound.
    if (lines[1] == u"any" || lines[1].find_first_of(u"0123456789") == std::u16string::npos) {
        FUZZ_CHECK(tuple(range.maximum) == tuple(JavaVersion::highest()));
    } else {
        JavaVersion maximum;
        maximum.parse(wide(lines[1]), JavaVersion::kOpen);
        FUZZ_CHECK(tuple(range.maximum) == tuple(maximum));
    }
    FUZZ_CHECK(!range.describeRequirement().isEmpty());
    return 0;
}
