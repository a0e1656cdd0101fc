// Registry value data to text.
#include "common/registry_value.h"

namespace noviq {

WideString registryDataText(const unsigned char* data, size_t size) {
    WideString text;
    for (size_t at = 0; at < size; at += 2) {
        const unsigned high = at + 1 < size ? data[at + 1] : 0;
        const auto unit = static_cast<char16_t>(data[at] | high << 8);
        if (unit == 0)
            break;
        text += unit;
    }
    return text;
}

} // namespace noviq
