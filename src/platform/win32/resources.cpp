// Windows: messages from the executable's own string-table resource. The table is stored
// in blocks of sixteen entries; id k lives in block k/16+1 as entry k%16, each entry a
// 16-bit length followed by that many UTF-16 units.
#include "platform/resources.h"

#include "platform/win32/windows_api.h"

namespace noviq::platform {

WideString loadStringResource(int32_t id) {
    if (id < 0)
        return WideString();
    HMODULE self = GetModuleHandleW(nullptr);
    const WORD block = static_cast<WORD>(id / 16 + 1);
    HRSRC info = FindResourceW(self, MAKEINTRESOURCEW(block), MAKEINTRESOURCEW(6) /*RT_STRING*/);
    if (!info)
        return WideString();
    HGLOBAL loaded = LoadResource(self, info);
    const auto* entry = static_cast<const WORD*>(loaded ? LockResource(loaded) : nullptr);
    if (!entry)
        return WideString();
    const DWORD size = SizeofResource(self, info) / sizeof(WORD);
    const WORD* end = entry + size;
    for (int32_t i = 0; i < id % 16; ++i) {
        if (entry >= end)
            return WideString();
        entry += 1 + *entry;
    }
    if (entry >= end || *entry == 0 || entry + 1 + *entry > end)
        return WideString();
    return WideString(reinterpret_cast<const char16_t*>(entry + 1), *entry);
}

} // namespace noviq::platform
