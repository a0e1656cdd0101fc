// Readers over one INI file through the profile-string interface. PlainIniFile reads a key
// directly; IniFile adds the settings rule: an empty value is looked up again in the
// section whose name is followed by "+", and such a value gets one leading space.
#pragma once

#include "base/basic_string.h"

namespace noviq {

class IniReader {
public:
    explicit IniReader(WideString path) : path_(static_cast<WideString&&>(path)) {}
    virtual ~IniReader() = default;
    virtual WideString GetValue(const WideString& section, const WideString& key) const = 0;
    void SetValue(const WideString& section, const WideString& key, const WideString& value) const;
    const WideString& path() const { return path_; }

protected:
    // One value of any length: buffers of 256, 512, 1024 ... characters until it fits.
    WideString readDirect(const WideString& section, const WideString& key) const;

private:
    WideString path_;
};

class PlainIniFile final : public IniReader {
public:
    using IniReader::IniReader;
    WideString GetValue(const WideString& section, const WideString& key) const override;
};

class IniFile final : public IniReader {
public:
    using IniReader::IniReader;
    WideString GetValue(const WideString& section, const WideString& key) const override;
};

} // namespace noviq
