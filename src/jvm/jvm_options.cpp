// Class path entries, virtual-machine parameter tokens, memory-based sizes and expansion.
#include "jvm/jvm_options.h"

#include <optional>

#include "base/format.h"
#include "common/path_utils.h"
#include "jre/jvm_library.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/memory.h"
#include "platform/path_style.h"

namespace noviq {

namespace {

bool isDigit(char16_t c) {
    return c >= u'0' && c <= u'9';
}

// Sizes are user input: arithmetic saturates instead of wrapping to a small number.
uint64_t saturatingMultiply(uint64_t a, uint64_t b) {
    if (a != 0 && b > UINT64_MAX / a)
        return UINT64_MAX;
    return a * b;
}

uint64_t appendDigit(uint64_t value, char16_t digit) {
    const uint64_t shifted = saturatingMultiply(value, 10);
    const uint64_t add = static_cast<uint64_t>(digit - u'0');
    return shifted > UINT64_MAX - add ? UINT64_MAX : shifted + add;
}

WideString runtimeFolder(const WideString& jvmLibraryPath, const char16_t* sibling) {
    const char16_t separator = platform::kPathSeparator;
    WideString folder = withoutLastComponents(jvmLibraryPath, 2);
    if (sibling)
        folder = folder.Left(folder.ReverseFind(separator) + 1) + sibling;
    return folder;
}

} // namespace

PathConventions PathConventions::current() {
    return {platform::kPathSeparator, platform::kListSeparator, platform::kAbsolutePathForm};
}

WideString expandEnvironment(const WideString& text) {
    std::optional<WideString> expanded = platform::expandEnvironmentStrings(text);
    return expanded ? *expanded : text;
}

WideString runtimeLibraryFolder(const WideString& jvmLibraryPath) {
    return runtimeFolder(jvmLibraryPath, platform::kRuntimeLibraryFolderSibling);
}

WideString runtimeProgramFolder(const WideString& jvmLibraryPath) {
    const char16_t* sibling = platform::kRuntimeProgramFolderSibling;
    if (!sibling)
        return runtimeFolder(jvmLibraryPath, nullptr);
    // The programs lie in <home>/bin whatever the depth of the library below the home.
    return runtimeHomeOf(jvmLibraryPath) + WideString(&platform::kPathSeparator, 1) + sibling;
}

namespace {

bool isAbsolute(const WideString& entry, const PathConventions& conventions) {
    if (conventions.absoluteForm == platform::AbsolutePathForm::LeadingSeparator)
        return !entry.isEmpty() && entry[0] == conventions.pathSeparator;
    const char16_t s = conventions.pathSeparator;
    return entry.length() >= 2 && (entry[1] == u':' || (entry[0] == s && entry[1] == s));
}

} // namespace

bool isWrittenAbsolute(const WideString& entry, const PathConventions& conventions) {
    return entry.Find(u'*') < 0 && isAbsolute(entry, conventions);
}

ClassPathSearch classPathSearchFor(const WideString& entry, const WideString& executableFolder,
                                   const PathConventions& conventions) {
    const char16_t separator = conventions.pathSeparator;
    const int32_t lastSeparator = entry.ReverseFind(separator);
    if (isAbsolute(entry, conventions))
        return {entry, entry.Left(lastSeparator + 1)};
    // Drive-letter systems write relative entries with their own leading separator
    // ("\lib\*.jar"); elsewhere the separator is put in between ("lib/*.jar").
    WideString folder = executableFolder;
    if (conventions.absoluteForm == platform::AbsolutePathForm::LeadingSeparator)
        folder += separator;
    return {folder + entry, lastSeparator < 0 ? folder : folder + entry.Left(lastSeparator + 1)};
}

void resolveClassPathEntry(const WideString& entry, const WideString& executableFolder,
                           const PathConventions& conventions, WideString& classPath) {
    const ClassPathSearch search = classPathSearchFor(entry, executableFolder, conventions);
    const WideString name = search.pattern.Mid(search.namePrefix.length());
    const bool wildcard = name.Find(u'*') >= 0 || name.Find(u'?') >= 0;
    platform::DirectorySearch files(search.pattern);
    WideString found;
    while (files.next(found)) {
        // "lib/*" would otherwise add lib itself and its parent as class folders.
        if (wildcard && (found == u"." || found == u".."))
            continue;
        const WideString path = search.namePrefix + found;
        // A path holding the list separator would reach Java as two entries.
        if (path.Find(conventions.listSeparator) >= 0)
            continue;
        // A match may be a link whose target is gone (a package's optional jar not
        // installed): no class path entry, and it would turn class data sharing off.
        if (wildcard && !platform::leadsToExistingFile(path))
            continue;
        classPath += path;
        classPath += conventions.listSeparator;
    }
}

WideString assembleClassPath(const StringList& entries, const WideString& executableFolder,
                             const PathConventions& conventions) {
    WideString classPath;
    StringList parts;
    for (const WideString& written : entries) {
        // A variable may hold a list of its own: each of its entries counts on its own.
        splitAtSeparator(expandEnvironment(written), WideString(&conventions.listSeparator, 1),
                         parts);
        for (const WideString& entry : parts) {
            // An empty entry ("a.jar;;b.jar") names nothing; searched, it would find the
            // executable's folder itself and add a path that does not exist.
            if (entry.isEmpty())
                continue;
            if (isWrittenAbsolute(entry, conventions)) {
                classPath += entry;
                classPath += conventions.listSeparator;
            } else {
                resolveClassPathEntry(entry, executableFolder, conventions, classPath);
            }
        }
    }
    return classPath;
}

StringList splitVmParameters(const WideString& text) {
    StringList tokens;
    const int32_t n = text.length();
    int32_t i = 0;
    while (i < n && text[i] == u' ')
        ++i;
    while (i < n) {
        const int32_t start = i;
        while (i < n && text[i] != u' ') {
            if (text[i] != u'"') {
                ++i;
                continue;
            }
            int32_t close = text.Find(u'"', i + 1);
            if (close < 0) {
                ++i; // a quote without a partner protects nothing
                continue;
            }
            if (close + 1 < n && text[close + 1] == u'"')
                ++close;
            i = close + 1;
        }
        tokens.add(text.Mid(start, i - start));
        while (i < n && text[i] == u' ')
            ++i;
    }
    return tokens;
}

WideString unquote(const WideString& token) {
    WideString text = token;
    int32_t from = 0;
    for (;;) {
        const int32_t open = text.Find(u'"', from);
        if (open < 0)
            break;
        int32_t close = text.Find(u'"', open + 1);
        if (close < 0)
            break;
        WideString content = text.Mid(open + 1, close - open - 1);
        if (close + 1 < text.length() && text[close + 1] == u'"') {
            content += u'"';
            ++close;
        }
        text = text.Left(open) + content + text.Mid(close + 1);
        from = open + content.length();
    }
    return text;
}

MemoryStatus MemoryStatus::current() {
    return {platform::totalPhysicalMemory(), platform::availableVirtualMemory()};
}

WideString applyMemoryRule(const WideString& token, const MemoryStatus& memory) {
    const int32_t n = token.length();
    if (n < 5)
        return token;
    const WideString option = token.Left(4);
    if (!(option == u"-Xms" || option == u"-Xmx" || option == u"-Xss"))
        return token;
    const char16_t unit = token[n - 1];
    const bool physical = unit == u'P' || unit == u'p';
    if (!physical && unit != u'T' && unit != u't')
        return token;

    // The unit letter is never part of the prefix or of the numbers.
    int32_t numbersStart = 0;
    while (numbersStart < n - 1 && !isDigit(token[numbersStart]) && token[numbersStart] != u':')
        ++numbersStart;
    uint64_t values[3] = {0, 0, 0};
    int field = 0;
    for (int32_t i = numbersStart; i < n - 1; ++i) {
        if (token[i] == u':')
            ++field;
        else if (isDigit(token[i]) && field < 3)
            values[field] = appendDigit(values[field], token[i]);
    }
    const uint64_t percent = values[0], minimumMb = values[1], maximumMb = values[2];

    const uint64_t baseKb =
        (physical ? memory.totalPhysicalBytes : memory.availableVirtualBytes) >> 10;
    const double exact = static_cast<double>(baseKb) * (static_cast<double>(percent) / 100.0);
    // 2^64 as a double; converting anything at or above it would be undefined.
    uint64_t sizeKb = exact >= 18446744073709551616.0 ? UINT64_MAX : static_cast<uint64_t>(exact);
    const uint64_t maximumKb = saturatingMultiply(maximumMb, 1024);
    const uint64_t minimumKb = saturatingMultiply(minimumMb, 1024);
    if (maximumMb != 0 && sizeKb > maximumKb)
        sizeKb = maximumKb;
    if (sizeKb < minimumKb)
        sizeKb = minimumKb;
    return token.Left(numbersStart) + decimalUnsigned(sizeKb) + u"K";
}

uint64_t parseByteSize(const WideString& text) {
    if (text.isEmpty() || !isDigit(text[0]) || text.Find(u':') >= 0)
        return 0;
    const char16_t last = text.last();
    uint64_t unit = 1;
    if (last == u'K' || last == u'k')
        unit = uint64_t{1} << 10;
    else if (last == u'M' || last == u'm')
        unit = uint64_t{1} << 20;
    else if (last == u'G' || last == u'g')
        unit = uint64_t{1} << 30;
    const int32_t end = isDigit(last) ? text.length() : text.length() - 1;
    uint64_t number = 0;
    for (int32_t i = 0; i < end; ++i)
        if (isDigit(text[i]))
            number = appendDigit(number, text[i]);
    return saturatingMultiply(number, unit);
}

} // namespace noviq
