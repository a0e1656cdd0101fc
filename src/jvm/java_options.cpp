// Argument files, JDK_JAVA_OPTIONS and the two-word module options, as the java command
// takes them.
#include "jvm/java_options.h"

#include "common/messages.h"
#include "common/path_utils.h"
#include "common/text.h"
#include "platform/files.h"
#include "platform/runtime_folders.h"

namespace noviq {

namespace {

constexpr char16_t kVariable[] = u"JDK_JAVA_OPTIONS";
constexpr int32_t kArgumentFileLimit = 64 << 20;

bool isLineEnd(char16_t c) {
    return c == u'\n' || c == u'\r';
}

bool isFileSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\f' || isLineEnd(c);
}

bool isVariableSpace(char16_t c) { // the C locale's isspace()
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

bool isQuote(char16_t c) {
    return c == u'"' || c == u'\'';
}

char16_t escaped(char16_t c) {
    switch (c) {
    case u'n':
        return u'\n';
    case u'r':
        return u'\r';
    case u't':
        return u'\t';
    case u'f':
        return u'\f';
    default:
        return c;
    }
}

bool isOneOf(const WideString& token, std::initializer_list<const char16_t*> names) {
    for (const char16_t* name : names)
        if (token == name)
            return true;
    return false;
}

// The module options java passes to the JVM in their "=" form.
bool isTwoWordModuleOption(const WideString& token) {
    return isOneOf(token, {u"--module-path", u"-p", u"--upgrade-module-path", u"--add-modules",
                           u"--enable-native-access", u"--limit-modules", u"--add-exports",
                           u"--add-opens", u"--add-reads", u"--patch-module"});
}

// The INI key that gives what an option of the java command would: empty for any other.
const char16_t* iniKeyInstead(const WideString& token) {
    if (isOneOf(token, {u"-cp", u"-classpath", u"--class-path"}) ||
        token.startsWith(u"--class-path="))
        return u"Class Path";
    if (isOneOf(token, {u"-jar", u"-m", u"--module"}) || token.startsWith(u"--module="))
        return u"Main Class";
    return nullptr;
}

// Options after which java runs no main class, refused in the variable.
bool endsTheJavaCommand(const WideString& token) {
    return isOneOf(token, {u"-jar", u"-m", u"--module", u"--dry-run", u"-h", u"-?", u"-help",
                           u"--help", u"-X", u"--help-extra", u"-version", u"--version",
                           u"-fullversion", u"--full-version"}) ||
           token.startsWith(u"--module=");
}

} // namespace

StringList splitArgumentFile(const WideString& text) {
    StringList arguments;
    const int32_t n = text.length();
    int32_t i = 0;
    while (i < n) {
        if (isFileSpace(text[i])) {
            ++i;
            continue;
        }
        if (text[i] == u'#') {
            while (i < n && !isLineEnd(text[i]))
                ++i;
            continue;
        }
        WideString argument;
        char16_t quote = 0;
        while (i < n) {
            const char16_t c = text[i];
            if (quote == 0) {
                if (isFileSpace(c) || c == u'#') // a comment ends the argument too
                    break;
                if (isQuote(c))
                    quote = c;
                else
                    argument += c;
                ++i;
            } else if (c == quote) {
                quote = 0;
                ++i;
            } else if (isLineEnd(c)) {
                break; // an open quote ends with its line
            } else if (c == u'\\') {
                if (i + 1 < n && isLineEnd(text[i + 1])) {
                    i += 2;
                    while (i < n && isFileSpace(text[i]))
                        ++i;
                } else {
                    if (i + 1 < n)
                        argument += escaped(text[i + 1]);
                    i += 2;
                }
            } else {
                argument += c;
                ++i;
            }
        }
        if (!argument.isEmpty())
            arguments.add(argument);
    }
    return arguments;
}

std::optional<StringList> splitJavaOptionsVariable(const WideString& text) {
    StringList arguments;
    const int32_t n = text.length();
    int32_t i = 0;
    for (;;) {
        while (i < n && isVariableSpace(text[i]))
            ++i;
        if (i == n)
            return arguments;
        WideString argument;
        while (i < n && !isVariableSpace(text[i])) {
            const char16_t c = text[i++];
            if (!isQuote(c)) {
                argument += c;
                continue;
            }
            const int32_t close = text.Find(c, i);
            if (close < 0)
                return std::nullopt;
            argument += text.Mid(i, close - i);
            i = close + 1;
        }
        arguments.add(argument);
    }
}

std::optional<WideString> readArgumentFile(const WideString& path) {
    const std::optional<uint64_t> size = platform::regularFileSize(path);
    if (!size || *size > static_cast<uint64_t>(kArgumentFileLimit))
        return std::nullopt;
    return widen(platform::readFileStart(path, kArgumentFileLimit));
}

std::optional<StringList> takeJavaOptions(const StringList& tokens, OptionSource source,
                                          const WideString& folder, const FileReader& readFile) {
    const bool fromVariable = source == OptionSource::Variable;
    StringList expanded;
    for (const WideString& token : tokens) {
        if (token.length() < 2 || token[0] != u'@') {
            expanded.add(token);
        } else if (token[1] == u'@') {
            expanded.add(token.Mid(1));
        } else {
            const WideString path = absoluteFrom(folder, token.Mid(1));
            const std::optional<WideString> text = readFile(path);
            if (!text) {
                ReportError(LoadMessage(MessageId::ArgumentFileUnreadable), path);
                return std::nullopt;
            }
            for (const WideString& argument : splitArgumentFile(*text))
                expanded.add(argument);
        }
    }

    StringList options;
    const int32_t n = expanded.count();
    for (int32_t i = 0; i < n; ++i) {
        const WideString& token = expanded[i];
        if (fromVariable && endsTheJavaCommand(token)) {
            ReportError(LoadMessage(MessageId::OptionNotAllowedInVariable), token,
                        WideString(kVariable));
            return std::nullopt;
        }
        if (const char16_t* key = iniKeyInstead(token)) {
            ReportError(LoadMessage(MessageId::OptionNeedsIniKey), token,
                        WideString(fromVariable ? kVariable : u"Virtual Machine Parameters"),
                        WideString(key));
            return std::nullopt;
        }
        if (isTwoWordModuleOption(token) && i + 1 < n && !expanded[i + 1].startsWith(u"-")) {
            options.add((token == u"-p" ? WideString(u"--module-path") : token) + u"=" +
                        expanded[i + 1]);
            ++i;
            continue;
        }
        if (fromVariable && !token.startsWith(u"-")) {
            ReportError(LoadMessage(MessageId::MainClassInVariable), WideString(kVariable));
            return std::nullopt;
        }
        options.add(token);
    }
    return options;
}

} // namespace noviq
