// The splitters of command lines and lists. Properties: every argument is a piece of the
// text, in order; quote-free pieces written in quotes come back whole; the JVM parameters are
// their tokens and spaces only; pieces cut at a separator join back into the text.
#include "common/path_utils.h"
#include "fuzz_support.h"
#include "jvm/jvm_options.h"

namespace {

Pieces commandLine(const std::u16string& text) {
    StringList list;
    tokenizeCommandLine(wide(text), list);
    return items(list);
}

Pieces vmParameters(const std::u16string& text) {
    return items(splitVmParameters(wide(text)));
}

void checkVmParameters(const std::u16string& text) {
    const Pieces tokens = vmParameters(text);
    size_t at = 0;
    for (const std::u16string& token : tokens) {
        const size_t start = at;
        at = text.find_first_not_of(u' ', at);
        FUZZ_CHECK(at != text.npos && (at > start || start == 0)); // tokens are apart
        FUZZ_CHECK(!token.empty() && token.back() != u' ' &&
                   text.compare(at, token.size(), token) == 0);
        at += token.size();
        FUZZ_CHECK(token.find(u'"') != token.npos || u16(unquote(wide(token))) == token);
    }
    FUZZ_CHECK(text.find_first_not_of(u' ', at) == text.npos);
    FUZZ_CHECK(vmParameters(join(tokens, u" ")) == tokens);
}

} // namespace

FUZZ_TEXT_TARGET(text) {
    const Pieces arguments = commandLine(text);
    size_t from = 0;
    for (const std::u16string& argument : arguments) {
        from = text.find(argument, from);
        FUZZ_CHECK(from != text.npos);
        from += argument.size();
    }
    checkVmParameters(text);

    // The same text as pieces between form feeds: quote-free arguments (one a line), the gap
    // text (each character a space or a tab by its parity), a separator.
    Pieces parts = split(text, u'\f');
    parts.resize(std::max<size_t>(parts.size(), 3));
    Pieces expected = split(parts[0], u'\n');
    for (std::u16string& piece : expected)
        std::erase(piece, u'"'); // no escape exists for a quote inside an argument
    std::u16string gap = u" ";
    for (char16_t c : parts[1])
        gap += c & 1 ? u'\t' : u' ';
    auto quoted = [&](std::u16string_view between, std::u16string_view closing) {
        std::u16string line;
        for (const std::u16string& piece : expected)
            line.append(line.empty() ? u"" : between).append(u"\"" + piece + u"\"").append(closing);
        return line;
    };
    FUZZ_CHECK(commandLine(quoted(gap, u"")) == expected);
    // The JVM parameters split at spaces only; a doubled closing quote stands for one quote.
    const std::u16string closing = parts[1].size() % 2 ? u"\"" : u"";
    const Pieces tokens = vmParameters(quoted(std::u16string(gap.size(), u' '), closing));
    FUZZ_CHECK(tokens.size() == expected.size());
    for (size_t i = 0; i < tokens.size(); ++i)
        FUZZ_CHECK(u16(unquote(wide(tokens[i]))) == expected[i] + closing);

    // Nothing follows a final separator: the text is the joined pieces, or those and one.
    if (const std::u16string& separator = parts[2]; !separator.empty()) {
        StringList list;
        splitAtSeparator(wide(text), wide(separator), list);
        const Pieces pieces = items(list);
        const std::u16string joined = join(pieces, separator);
        FUZZ_CHECK((joined == text || joined + separator == text) &&
                   text.empty() == pieces.empty());
        for (const std::u16string& piece : pieces)
            FUZZ_CHECK(piece.find(separator) == piece.npos);
    }
}
