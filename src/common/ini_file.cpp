// INI readers: the doubling read and the "+"-section rule.
#include "common/ini_file.h"

#include "platform/profile.h"

namespace noviq {

WideString IniReader::readDirect(const WideString& section, const WideString& key) const {
    for (int32_t size = 256;; size *= 2) {
        WideString value;
        char16_t* buffer = value.GetBuffer(size);
        const int32_t n = platform::readProfileString(section, key, buffer, size, path_);
        if (n != size - 1 || size > INT32_MAX / 2) {
            value.ReleaseBuffer(n < 0 ? 0 : (n >= size ? size - 1 : n));
            value.ReleaseBuffer(); // the value ends at its terminating zero
            return value;
        }
        value.ReleaseBuffer(0);
    }
}

void IniReader::SetValue(const WideString& section, const WideString& key,
                         const WideString& value) const {
    platform::writeProfileString(section, key, value, path_);
}

WideString PlainIniFile::GetValue(const WideString& section, const WideString& key) const {
    return readDirect(section, key);
}

WideString IniFile::GetValue(const WideString& section, const WideString& key) const {
    WideString value = readDirect(section, key);
    if (!value.isEmpty())
        return value;
    WideString continuation = readDirect(section + u"+", key);
    if (continuation.isEmpty() || continuation[0] == u' ')
        return continuation;
    return WideString(u" ") + continuation;
}

} // namespace noviq
