// "Virtual Machine Parameters": splitting at spaces outside quoted stretches, and removing
// the quotes. Properties: the text is nothing but its tokens and the spaces between them;
// splitting the tokens joined by single spaces gives the same tokens; pieces written in
// quotes come back whole, spaces included, after unquoting; unquoting never lengthens a
// token and leaves one without quotes as it is.
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "jvm/jvm_options.h"

namespace noviq {
namespace {

using fuzz::items;
using fuzz::u16;
using fuzz::wide;

std::vector<std::u16string> split(const std::u16string& text) {
    return items(splitVmParameters(wide(text)));
}

void checkSplit(const std::u16string& text) {
    const std::vector<std::u16string> tokens = split(text);
    size_t at = 0;
    for (const std::u16string& token : tokens) {
        FUZZ_CHECK(!token.empty() && token.front() != u' ' && token.back() != u' ');
        const size_t start = at;
        while (at < text.size() && text[at] == u' ')
            ++at;
        FUZZ_CHECK(at > start || start == 0); // tokens are apart
        FUZZ_CHECK(text.compare(at, token.size(), token) == 0);
        at += token.size();
    }
    while (at < text.size() && text[at] == u' ')
        ++at;
    FUZZ_CHECK(at == text.size());

    std::u16string joined;
    for (size_t i = 0; i < tokens.size(); ++i)
        joined += (i > 0 ? u" " : u"") + tokens[i];
    FUZZ_CHECK(split(joined) == tokens);

    for (const std::u16string& token : tokens) {
        const std::u16string plain = u16(unquote(wide(token)));
        FUZZ_CHECK(plain.size() <= token.size());
        if (token.find(u'"') == token.npos)
            FUZZ_CHECK(plain == token);
    }
}

// Quote-free pieces, one a line: written in quotes (with `doubled`, each with a doubled
// closing quote, which stands for one quote) and separated by `gap` spaces.
void checkQuotedRoundTrip(const std::u16string& text, size_t gap, bool doubled) {
    std::vector<std::u16string> pieces;
    std::u16string_view rest = text;
    while (!rest.empty()) {
        std::u16string piece(fuzz::nextPiece(rest, u'\n'));
        std::erase(piece, u'"');
        pieces.push_back(piece);
    }
    std::u16string line;
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0)
            line += std::u16string(gap, u' ');
        line += u'"' + pieces[i] + (doubled ? u"\"\"" : u"\"");
    }
    const std::vector<std::u16string> tokens = split(line);
    FUZZ_CHECK(tokens.size() == pieces.size());
    for (size_t i = 0; i < tokens.size(); ++i)
        FUZZ_CHECK(u16(unquote(wide(tokens[i]))) == pieces[i] + (doubled ? u"\"" : u""));
}

} // namespace
} // namespace noviq

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace noviq;
    const std::u16string text = fuzz::textFromBytes(data, size);
    checkSplit(text);
    const size_t gap = size > 0 ? 1 + data[0] % 3 : 1;
    checkQuotedRoundTrip(text, gap, size > 1 && (data[1] & 1));
    return 0;
}
