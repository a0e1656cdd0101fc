// Path and argument utilities shared by the settings, the runtime search and the JVM host.
#include "common/path_utils.h"

#include "platform/errors.h"
#include "platform/files.h"
#include "platform/jvm_conventions.h"
#include "platform/path_style.h"

namespace noviq {

void splitAtSeparator(const WideString& text, const WideString& separator, StringList& pieces) {
    pieces.clear();
    if (separator.isEmpty())
        string_detail::violation();
    if (text.isEmpty())
        return;
    int32_t position = 0;
    for (;;) {
        const int32_t found = text.Find(separator, position);
        if (found < 0)
            break;
        pieces.add(text.Mid(position, found - position));
        position = found + separator.length();
        if (position >= text.length())
            return;
    }
    pieces.add(position == 0 ? text : text.Mid(position));
}

void tokenizeCommandLine(const WideString& text, StringList& arguments) {
    const int32_t n = text.length();
    int32_t position = 0;
    // Space and tab both separate arguments.
    auto isSeparator = [](char16_t c) { return c == u' ' || c == u'\t'; };
    auto skipSpaces = [&](int32_t from) {
        while (from < n && isSeparator(text[from]))
            ++from;
        return from;
    };
    while (position < n) {
        if (text[position] == u'"') {
            const int32_t close = text.Find(u'"', position + 1);
            if (close < 0) {
                arguments.add(text.Mid(position + 1));
                return;
            }
            arguments.add(text.Mid(position + 1, close - position - 1));
            position = skipSpaces(close + 1);
        } else {
            int32_t space = position;
            while (space < n && !isSeparator(text[space]))
                ++space;
            if (space == n) {
                arguments.add(text.Mid(position));
                return;
            }
            arguments.add(text.Mid(position, space - position));
            position = skipSpaces(space);
        }
    }
}

bool hasLongPathPrefix(const WideString& path) {
    return path.Left(4) == u"\\\\?\\";
}

bool isUncPath(const WideString& path) {
    return path.length() > 2 && path[0] == u'\\' && path[1] == u'\\' && path[2] != u'?';
}

bool pathExists(const WideString& path) {
    if (path.isEmpty())
        return false;
    const bool rooted = path[0] == platform::kPathSeparator || path.Find(u':') >= 0;
    return rooted && platform::firstFileExists(path);
}

void splitPath(const WideString& path, StringList& elements) {
    const WideString separator(&platform::kPathSeparator, 1);
    WideString prefix;
    WideString rest = path;
    if (hasLongPathPrefix(rest)) {
        prefix = rest.Left(4);
        rest = rest.Mid(4);
    }
    const int32_t rootEnd = isUncPath(rest) ? rest.Find(platform::kPathSeparator, 2)
                                            : rest.Find(platform::kPathSeparator);
    WideString root = rootEnd < 0 ? rest : rest.Left(rootEnd);
    rest = rootEnd < 0 ? WideString() : rest.Mid(rootEnd + 1);
    root = prefix + root;
    StringList pieces;
    splitAtSeparator(rest, separator, pieces);
    // Where the separator is "/", a leading separator is the file system's root, kept as
    // an empty root element so that folders are built from it; on Windows such a path is
    // relative to the current drive and has no root element.
    if (!root.isEmpty() || (platform::kPathSeparator == u'/' && !path.isEmpty() && path[0] == u'/'))
        elements.add(root);
    for (const WideString& piece : pieces)
        elements.add(piece);
}

uint32_t createParentFolders(const WideString& filePath) {
    if (filePath.isEmpty())
        return platform::kErrorInvalidParameter;
    if (pathExists(filePath))
        return 0;
    const bool unc = isUncPath(filePath);
    StringList elements;
    splitPath(filePath, elements);
    if (elements.count() < 3)
        return 0;
    uint32_t result = 0;
    WideString soFar = elements[0];
    // Only what this call made may be taken back: a folder that was there before may hold,
    // or later receive, someone else's files.
    StringList created;
    for (int32_t i = 1; i < elements.count() - 1; ++i) {
        const WideString folder = soFar + WideString(&platform::kPathSeparator, 1) + elements[i];
        const uint32_t error = platform::createDirectory(folder);
        if (error == 0)
            created.add(folder);
        if (error != 0)
            result = error == platform::kErrorAlreadyExists ? 0 : error;
        if (error != 0 && error != platform::kErrorAlreadyExists && !unc) {
            for (int32_t k = created.count() - 1; k >= 0; --k)
                platform::removeDirectory(created[k]);
            break;
        }
        soFar = folder;
    }
    return result;
}

WideString withoutLastComponent(const WideString& path) {
    const int32_t last = path.ReverseFind(platform::kPathSeparator);
    return last < 0 ? path : path.Left(last);
}

WideString withoutLastComponents(WideString path, int count) {
    for (int i = 0; i < count; ++i)
        path = withoutLastComponent(path);
    return path;
}

WideString withTrailingSeparator(WideString path) {
    if (path.isEmpty() || path.last() != platform::kPathSeparator)
        path += platform::kPathSeparator;
    return path;
}

bool isAbsolutePath(const WideString& path) {
    const char16_t separator = platform::kPathSeparator;
    if (platform::kAbsolutePathForm == platform::AbsolutePathForm::LeadingSeparator)
        return !path.isEmpty() && path[0] == separator;
    return path.length() >= 3 && ((path[1] == u':' && path[2] == separator) ||
                                  (path[0] == separator && path[1] == separator));
}

WideString absoluteFrom(const WideString& folder, const WideString& path) {
    if (path.isEmpty() || isAbsolutePath(path))
        return path;
    const char16_t separator = platform::kPathSeparator;
    // A rooted path without a drive ("\jre") is taken from the folder too, as class path
    // entries are; so is a drive-relative one ("C:jre"), which would depend on that drive's
    // current folder.
    int32_t start = 0;
    if (platform::kAbsolutePathForm == platform::AbsolutePathForm::DriveOrUnc &&
        path.length() >= 2 && path[1] == u':')
        start = 2;
    while (start < path.length() && path[start] == separator)
        ++start;
    return withTrailingSeparator(folder) + path.Mid(start);
}

} // namespace noviq
