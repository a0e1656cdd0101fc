// Splitting a command line and cutting text at a separator. Properties: arguments written
// in double quotes come back as they were, whatever separators lie between them; every
// argument of any text is a piece of that text, in order, without overlap; the pieces cut
// at a separator join back into the text; a relative path taken from a folder stays inside
// it.
#include <string>
#include <vector>

#include "common/path_utils.h"
#include "fuzz_support.h"
#include "platform/path_style.h"

namespace noviq {
namespace {

using fuzz::items;
using fuzz::u16;
using fuzz::wide;

void checkTokens(const std::u16string& text) {
    StringList arguments;
    tokenizeCommandLine(wide(text), arguments);
    size_t from = 0;
    for (const std::u16string& argument : items(arguments)) {
        // Each argument is the text between its quotes or separators.
        const size_t at = text.find(argument, from);
        FUZZ_CHECK(at != text.npos);
        from = at + argument.size();
    }
    FUZZ_CHECK(static_cast<size_t>(arguments.count()) <= text.size());
}

// The pieces of the text (between line breaks) written in quotes, with separators from
// `gaps` between them, split back.
void checkQuotedRoundTrip(const std::u16string& text, const std::u16string& gaps) {
    std::vector<std::u16string> expected;
    std::u16string_view rest = text;
    while (!rest.empty()) {
        std::u16string piece(fuzz::nextPiece(rest, u'\n'));
        std::erase(piece, u'"'); // no escape exists for a quote inside an argument
        expected.push_back(piece);
    }
    std::u16string line;
    size_t gap = 0;
    for (size_t i = 0; i < expected.size(); ++i) {
        if (i > 0) {
            // At least one separator, then as many more as the gap text gives.
            line += u' ';
            while (gap < gaps.size() && gaps[gap] != u'|')
                line += gaps[gap++] & 1 ? u'\t' : u' ';
            ++gap;
        }
        line += u'"' + expected[i] + u'"';
    }
    StringList arguments;
    tokenizeCommandLine(wide(line), arguments);
    FUZZ_CHECK(items(arguments) == expected);
}

void checkSeparatorCut(const std::u16string& text, const std::u16string& separator) {
    if (separator.empty())
        return;
    StringList pieces;
    splitAtSeparator(wide(text), wide(separator), pieces);
    const std::vector<std::u16string> list = items(pieces);
    std::u16string joined;
    for (size_t i = 0; i < list.size(); ++i)
        joined += (i > 0 ? separator : u"") + list[i];
    // Nothing follows a final separator: the text is the joined pieces, or those and one
    // separator.
    FUZZ_CHECK(joined == text || joined + separator == text);
    FUZZ_CHECK(text.empty() == list.empty());
    for (const std::u16string& piece : list)
        FUZZ_CHECK(piece.find(separator) == piece.npos);
}

void checkAbsoluteFrom(const std::u16string& folder, const std::u16string& path) {
    const std::u16string result = u16(absoluteFrom(wide(folder), wide(path)));
    if (path.empty() || isAbsolutePath(wide(path))) {
        FUZZ_CHECK(result == path);
        return;
    }
    // Taken from the folder: the folder, one separator, then the rest of the path.
    std::u16string base = folder;
    if (base.empty() || base.back() != platform::kPathSeparator)
        base += platform::kPathSeparator;
    FUZZ_CHECK(result.compare(0, base.size(), base) == 0);
    FUZZ_CHECK(path.ends_with(result.substr(base.size())));
    if (isAbsolutePath(wide(folder)))
        FUZZ_CHECK(isAbsolutePath(wide(result)));
}

} // namespace
} // namespace noviq

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace noviq;
    const std::u16string text = fuzz::textFromBytes(data, size);
    checkTokens(text);

    // The same bytes as pieces: before the first form feed, the arguments (one a line);
    // then the gap text; then a separator, a folder and a path.
    std::u16string_view rest = text;
    const std::u16string arguments(fuzz::nextPiece(rest, u'\f'));
    const std::u16string gaps(fuzz::nextPiece(rest, u'\f'));
    const std::u16string separator(fuzz::nextPiece(rest, u'\f'));
    const std::u16string folder(fuzz::nextPiece(rest, u'\f'));
    const std::u16string path(rest);
    checkQuotedRoundTrip(arguments, gaps);
    checkSeparatorCut(text, separator);
    checkSeparatorCut(arguments, u"\n");
    checkAbsoluteFrom(folder, path);
    return 0;
}
