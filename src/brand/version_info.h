// The version resource (VS_VERSIONINFO): its fixed part and the strings of its first string
// table, read and written back in the layout Windows' version functions walk.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "brand/bytes.h"

namespace noviq::brand {

struct VersionInfo {
    Bytes fixed;                        // VS_FIXEDFILEINFO, 52 bytes
    std::u16string table = u"040904B0"; // language and code page of the string table
    std::vector<std::pair<std::u16string, std::u16string>> strings; // in order
    Bytes translation; // VarFileInfo\Translation's value

    const std::u16string* find(std::u16string_view key) const;
    // Replaces the string's value, or appends it.
    void set(const std::u16string& key, const std::u16string& value);
    // The fixed part's file (or product) version: four 16-bit numbers.
    void setFixedVersion(bool product, const std::array<uint16_t, 4>& numbers);
};

// Refuses (exit code 3) a version resource it cannot walk.
VersionInfo readVersionInfo(const Bytes& data);
Bytes writeVersionInfo(const VersionInfo& info);

// "1", "1.2", "1.2.3" or "1.2.3.4", each number 0 to 65535; missing ones are zero.
std::optional<std::array<uint16_t, 4>> parseVersionNumbers(const std::string& text);

} // namespace noviq::brand
