// The option forms of the java command that the JVM itself does not take: argument files
// (@file), JDK_JAVA_OPTIONS, and the module options written as two words.
#pragma once

#include <functional>
#include <optional>

#include "base/basic_string.h"
#include "base/string_list.h"

namespace noviq {

// The arguments of an argument file, with java's rules: white space (space, tab, line
// ends, form feed) separates; ' and " quote (the other one is literal inside, and an open
// quote ends with its line); inside quotes a backslash escapes (\n \r \t \f, any other
// character stands for itself, and before a line end it continues the argument after the
// next line's leading white space); # outside quotes starts a comment to the line's end.
// Empty arguments are left out.
StringList splitArgumentFile(const WideString& text);

// JDK_JAVA_OPTIONS as java splits it: white space separates, ' and " enclose text (the
// quotes are removed). Nothing when a quote is not closed.
std::optional<StringList> splitJavaOptionsVariable(const WideString& text);

// Where options come from: the INI file's "Virtual Machine Parameters" or the variable.
enum class OptionSource { Parameters, Variable };

// The whole text of a file; nothing when it cannot be read.
using FileReader = std::function<std::optional<WideString>(const WideString& path)>;

// Takes options as java takes them: "@file" (relative: from `folder`) is replaced by the
// file's arguments, which are not expanded again; "@@..." stands for "@..."; the module
// options written as two words (--add-opens X, -p X, ...) become "--name=X", as the JVM
// takes them. Reports and returns nothing for an unreadable file, for the class path and
// main class options (the INI file's keys give those), and, from the variable, for what
// java refuses there: a main class or an option that ends the java command.
std::optional<StringList> takeJavaOptions(const StringList& tokens, OptionSource source,
                                          const WideString& folder, const FileReader& readFile);

// The java command's reader: the bytes of a regular file in the process's code page.
std::optional<WideString> readArgumentFile(const WideString& path);

} // namespace noviq
