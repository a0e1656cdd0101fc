// %NAME% expansion over an environment the input defines. Properties: text naming no defined
// variable comes back unchanged (undefined references, stray "%" and empty names stay); a
// reference is replaced by exactly its value (no second expansion).
#include <set>

#include "fuzz_support.h"
#include "platform/environment.h"
#include "platform/text.h"

namespace {

std::string bytes(const std::u16string& text) {
    const NarrowString n = platform::narrow(text.data(), static_cast<int32_t>(text.size()));
    return std::string(n.c_str(), static_cast<size_t>(n.length()));
}

std::u16string expand(const std::u16string& text) {
    const std::optional<WideString> expanded = platform::expandEnvironmentStrings(wide(text));
    FUZZ_CHECK(expanded.has_value());
    return u16(*expanded);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    clearenv(); // only the variables an input defines exist while it runs
    return 0;
}

FUZZ_TEXT_TARGET(input) {
    // The first line is the text; each further line defines NAME=VALUE.
    Pieces lines = split(input, u'\n');
    lines.resize(std::max<size_t>(lines.size(), 1));
    const std::u16string& text = lines[0];
    std::vector<std::pair<std::u16string, std::u16string>> variables;
    std::set<std::string> defined;
    clearenv();
    for (size_t i = 1; i < lines.size(); ++i) {
        const size_t eq = lines[i].find(u'=');
        const std::u16string name = lines[i].substr(0, eq);
        std::u16string value = lines[i].substr(std::min(eq, lines[i].size() - 1) + 1);
        std::erase(value, u'\0'); // a value cannot hold a zero either
        if (eq == 0 || eq == name.npos || name.find(u'\0') != name.npos ||
            defined.count(bytes(name)) || setenv(bytes(name).c_str(), bytes(value).c_str(), 1))
            continue;
        defined.insert(bytes(name));
        // What the environment holds is the value in the system's 8-bit form.
        variables.emplace_back(name, u16(platform::widen(bytes(value).c_str())));
    }

    // Unchanged unless a stretch between two neighbouring "%" names a defined variable (a
    // name never holds a zero: the system's names end at the first one).
    const Pieces stretches = split(text, u'%');
    bool named = false;
    for (size_t i = 1; i + 1 < stretches.size(); ++i)
        named |= stretches[i].find(u'\0') == text.npos && defined.count(bytes(stretches[i]));
    FUZZ_CHECK(expand(text) == text || named);

    // Each variable referred to between the text's pieces before and after its first "%".
    const size_t percent = text.find(u'%');
    const std::u16string before = text.substr(0, percent);
    std::u16string after = percent == text.npos ? u"" : text.substr(percent + 1);
    std::erase(after, u'%');
    for (const auto& [name, value] : variables)
        if (name.find(u'%') == name.npos)
            FUZZ_CHECK(expand(before + u'%' + name + u'%' + after) == before + value + after);
    clearenv();
}
