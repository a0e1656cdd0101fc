// Text helpers shared by the launcher.
#include "common/text.h"

namespace noviq {

bool equalsIgnoringAsciiCase(const WideString& text, const char* literal) {
    auto lower = [](char16_t c) -> char16_t { return c >= u'A' && c <= u'Z' ? c + 32 : c; };
    int32_t i = 0;
    for (; i < text.length(); ++i) {
        if (literal[i] == 0 ||
            lower(text[i]) != lower(char16_t(static_cast<unsigned char>(literal[i]))))
            return false;
    }
    return literal[i] == 0;
}

} // namespace noviq
