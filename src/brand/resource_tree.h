// The resource section as a flat list of (type, name, language) entries, read from a
// section's bytes and written back as a new section in the order Windows searches
// (named entries first, by name, then ids ascending; at every level).
#pragma once

#include <compare>
#include <string>
#include <vector>

#include "brand/bytes.h"

namespace noviq::brand {

// A resource type or name: a 16-bit id, or a name (then `id` is unused).
struct ResourceKey {
    bool named = false;
    uint32_t id = 0;
    std::u16string name;

    static ResourceKey of(uint32_t number) { return ResourceKey{false, number, {}}; }
    bool operator==(const ResourceKey&) const = default;
    // Named before numbered, names by code unit, ids ascending.
    std::strong_ordering operator<=>(const ResourceKey& other) const;
};

struct Resource {
    ResourceKey type;
    ResourceKey name;
    uint32_t language = 0;
    uint32_t codePage = 0;
    Bytes data;
};

// The resources of a section whose bytes are `section`, mapped at `sectionRva`. Every
// data block must lie inside the section; a malformed tree is refused (exit code 3).
std::vector<Resource> readResources(const ByteView& section, uint32_t sectionRva);

// The section's bytes for `resources` mapped at `sectionRva`: directories, names, data
// entries, then the data, each block 8-byte aligned; time stamps are zero.
Bytes writeResources(std::vector<Resource> resources, uint32_t sectionRva);

namespace resource_type {
inline constexpr uint32_t kIcon = 3, kDialog = 5, kString = 6, kGroupIcon = 14, kVersion = 16,
                          kManifest = 24;
}

} // namespace noviq::brand
