// %NAME% expansion over an environment the fuzzer sets up itself. Properties: a text in
// which no stretch between two neighbouring "%" names a defined variable comes back
// unchanged (so undefined references, stray "%" and empty names stay as written); a
// reference between texts without "%" is replaced by the variable's value exactly, a value
// holding "%" included (no second expansion); both expansion entry points agree.
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "jvm/jvm_options.h"
#include "platform/environment.h"
#include "platform/text.h"

namespace noviq {
namespace {

using fuzz::u16;
using fuzz::wide;

struct Variable {
    std::u16string name, value;
};

std::string bytes(const std::u16string& text) {
    const NarrowString n = platform::narrow(text.data(), static_cast<int32_t>(text.size()));
    return std::string(n.c_str(), static_cast<size_t>(n.length()));
}

std::u16string expand(const std::u16string& text) {
    const std::optional<WideString> expanded = platform::expandEnvironmentStrings(wide(text));
    FUZZ_CHECK(expanded.has_value());
    const std::u16string result = u16(*expanded);
    FUZZ_CHECK(u16(expandEnvironment(wide(text))) == result);
    return result;
}

// Whether some stretch between two neighbouring "%" is the name of a defined variable.
bool namesADefinedVariable(const std::u16string& text, const std::set<std::string>& defined) {
    size_t open = text.find(u'%');
    while (open != text.npos) {
        const size_t close = text.find(u'%', open + 1);
        if (close == text.npos)
            return false;
        const std::u16string name = text.substr(open + 1, close - open - 1);
        // A name never holds a zero: the system's names end at the first one.
        if (name.find(u'\0') == name.npos && defined.count(bytes(name)))
            return true;
        open = close;
    }
    return false;
}

} // namespace
} // namespace noviq

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // Only the variables an input defines exist while it runs.
    clearenv();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace noviq;
    // The first line is the text; each further line defines NAME=VALUE.
    const std::u16string input = fuzz::textFromBytes(data, size);
    std::u16string_view rest = input;
    const std::u16string text(fuzz::nextPiece(rest, u'\n'));
    std::vector<Variable> variables;
    std::set<std::string> defined;
    clearenv();
    while (!rest.empty()) {
        std::u16string_view line = fuzz::nextPiece(rest, u'\n');
        const size_t eq = line.find(u'=');
        if (eq == line.npos || eq == 0)
            continue;
        Variable v{std::u16string(line.substr(0, eq)), std::u16string(line.substr(eq + 1))};
        std::erase(v.value, u'\0'); // a value cannot hold a zero either
        if (v.name.find(u'\0') != v.name.npos || defined.count(bytes(v.name)))
            continue;
        if (setenv(bytes(v.name).c_str(), bytes(v.value).c_str(), 1) != 0)
            continue;
        defined.insert(bytes(v.name));
        // What the environment holds is the value in the system's 8-bit form.
        v.value = u16(platform::widen(bytes(v.value).c_str()));
        variables.push_back(v);
    }

    const std::u16string result = expand(text);
    if (!namesADefinedVariable(text, defined))
        FUZZ_CHECK(result == text);

    // Each variable referred to between the text's pieces before and after its first "%".
    const size_t percent = text.find(u'%');
    std::u16string before = text.substr(0, percent), after;
    if (percent != text.npos) {
        after = text.substr(percent + 1);
        std::erase(after, u'%');
    }
    for (const Variable& v : variables) {
        if (v.name.find(u'%') != v.name.npos)
            continue;
        FUZZ_CHECK(expand(before + u'%' + v.name + u'%' + after) == before + v.value + after);
    }
    clearenv();
    return 0;
}
