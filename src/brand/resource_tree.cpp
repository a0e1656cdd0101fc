// Reading and writing the three-level resource directory (type, name, language).
#include "brand/resource_tree.h"

#include <algorithm>
#include <tuple>

namespace noviq::brand {

std::strong_ordering ResourceKey::operator<=>(const ResourceKey& other) const {
    if (named != other.named)
        return named ? std::strong_ordering::less : std::strong_ordering::greater;
    return named ? name <=> other.name : id <=> other.id;
}

namespace {

constexpr uint32_t kHighBit = 0x80000000u;
// Far more than any launcher holds; bounds the work a crafted tree can ask for.
constexpr size_t kMaxEntriesVisited = 65536;
constexpr size_t kMaxDataBytes = 64u << 20;

struct Reader {
    const ByteView& section;
    uint32_t rva;
    std::vector<Resource>& out;
    size_t visited = 0;
    size_t dataBytes = 0;

    ResourceKey key(uint32_t field) const {
        if (!(field & kHighBit))
            return ResourceKey::of(field & 0xFFFF);
        const size_t at = field & ~kHighBit;
        const size_t length = section.u16(at);
        section.need(at + 2, length * 2);
        ResourceKey name{true, 0, {}};
        for (size_t i = 0; i < length; ++i)
            name.name += static_cast<char16_t>(section.u16(at + 2 + 2 * i));
        return name;
    }

    // Directory at `at` of `level` (0 types, 1 names, 2 languages); `path` the keys so far.
    void directory(size_t at, int level, Resource& path) {
        const size_t count = size_t{section.u16(at + 12)} + section.u16(at + 14);
        section.need(at + 16, count * 8);
        for (size_t i = 0; i < count; ++i) {
            if (++visited > kMaxEntriesVisited)
                section.corrupt("has more resources than any launcher holds");
            const uint32_t nameField = section.u32(at + 16 + 8 * i);
            const uint32_t target = section.u32(at + 16 + 8 * i + 4);
            const bool isDirectory = (target & kHighBit) != 0;
            if (isDirectory != (level < 2))
                section.corrupt("has a resource directory of the wrong depth");
            if (level == 0)
                path.type = key(nameField);
            else if (level == 1)
                path.name = key(nameField);
            else if (nameField & kHighBit)
                section.corrupt("has a named resource language");
            else
                path.language = nameField & 0xFFFF;
            if (isDirectory) {
                directory(target & ~kHighBit, level + 1, path);
                continue;
            }
            const uint32_t dataRva = section.u32(target);
            const uint32_t size = section.u32(target + 4);
            if (dataRva < rva || !section.fits(dataRva - rva, size) ||
                (dataBytes += size) > kMaxDataBytes)
                section.corrupt("has resource data outside its resource section");
            path.codePage = section.u32(target + 8);
            path.data = section.copy(dataRva - rva, size);
            out.push_back(path);
        }
    }
};

// The directory sizes of one level: a 16-byte header and 8 bytes an entry.
constexpr size_t directorySize(size_t entries) {
    return 16 + 8 * entries;
}

} // namespace

std::vector<Resource> readResources(const ByteView& section, uint32_t sectionRva) {
    std::vector<Resource> out;
    Reader reader{section, sectionRva, out};
    Resource path;
    reader.directory(0, 0, path);
    return out;
}

Bytes writeResources(std::vector<Resource> resources, uint32_t sectionRva) {
    std::stable_sort(resources.begin(), resources.end(), [](const Resource& a, const Resource& b) {
        return std::tie(a.type, a.name, a.language) < std::tie(b.type, b.name, b.language);
    });
    resources.erase(std::unique(resources.begin(), resources.end(),
                                [](const Resource& a, const Resource& b) {
                                    return a.type == b.type && a.name == b.name &&
                                           a.language == b.language;
                                }),
                    resources.end());

    // The tree as index ranges: types hold names, names hold languages (resources).
    struct Node {
        size_t first, count; // children: names of a type, or resources of a name
        size_t offset = 0;
    };
    std::vector<Node> types, names;
    for (size_t i = 0; i < resources.size(); ++i) {
        const bool newType = i == 0 || !(resources[i].type == resources[i - 1].type);
        if (newType || !(resources[i].name == resources[i - 1].name)) {
            if (newType)
                types.push_back({names.size(), 0});
            names.push_back({i, 0});
            ++types.back().count;
        }
        ++names.back().count;
    }

    // Layout: root, type directories, name directories, language directories, the names'
    // strings, the data entries, the data.
    size_t offset = directorySize(types.size());
    for (Node& type : types) {
        type.offset = offset;
        offset += directorySize(type.count);
    }
    for (Node& name : names) {
        name.offset = offset;
        offset += directorySize(name.count);
    }
    auto stringOf = [&](const ResourceKey& key) -> uint32_t {
        if (!key.named)
            return key.id;
        const size_t at = offset;
        offset += 2 + 2 * key.name.size();
        return static_cast<uint32_t>(at) | kHighBit;
    };
    std::vector<uint32_t> typeFields, nameFields;
    for (const Node& type : types)
        typeFields.push_back(stringOf(resources[names[type.first].first].type));
    for (const Node& name : names)
        nameFields.push_back(stringOf(resources[name.first].name));
    offset = alignUp(offset, 8);
    const size_t entries = offset;
    offset += 16 * resources.size();
    std::vector<size_t> dataOffsets;
    for (const Resource& resource : resources) {
        offset = alignUp(offset, 8);
        dataOffsets.push_back(offset);
        offset += resource.data.size();
    }

    Bytes out(alignUp(offset, 8), 0);
    auto header = [&](size_t at, size_t count, size_t namedCount) {
        put16(out, at + 12, static_cast<uint32_t>(namedCount));
        put16(out, at + 14, static_cast<uint32_t>(count - namedCount));
    };
    auto namedIn = [&](size_t first, size_t count, auto keyOf) {
        size_t named = 0;
        for (size_t i = first; i < first + count; ++i)
            named += keyOf(i).named ? 1 : 0;
        return named;
    };
    auto putName = [&](uint32_t field, const ResourceKey& key) {
        if (!key.named)
            return;
        const size_t at = field & ~kHighBit;
        put16(out, at, static_cast<uint32_t>(key.name.size()));
        for (size_t i = 0; i < key.name.size(); ++i)
            put16(out, at + 2 + 2 * i, key.name[i]);
    };

    header(0, types.size(), namedIn(0, types.size(), [&](size_t t) -> const ResourceKey& {
               return resources[names[types[t].first].first].type;
           }));
    for (size_t t = 0; t < types.size(); ++t) {
        const ResourceKey& typeKey = resources[names[types[t].first].first].type;
        put32(out, 16 + 8 * t, typeFields[t]);
        put32(out, 16 + 8 * t + 4, static_cast<uint32_t>(types[t].offset) | kHighBit);
        putName(typeFields[t], typeKey);
        const Node& type = types[t];
        header(type.offset, type.count,
               namedIn(type.first, type.count, [&](size_t n) -> const ResourceKey& {
                   return resources[names[n].first].name;
               }));
        for (size_t k = 0; k < type.count; ++k) {
            const size_t n = type.first + k;
            put32(out, type.offset + 16 + 8 * k, nameFields[n]);
            put32(out, type.offset + 16 + 8 * k + 4,
                  static_cast<uint32_t>(names[n].offset) | kHighBit);
            putName(nameFields[n], resources[names[n].first].name);
            const Node& name = names[n];
            header(name.offset, name.count, 0);
            for (size_t l = 0; l < name.count; ++l) {
                const size_t r = name.first + l;
                put32(out, name.offset + 16 + 8 * l, resources[r].language);
                put32(out, name.offset + 16 + 8 * l + 4, static_cast<uint32_t>(entries + 16 * r));
                put32(out, entries + 16 * r, static_cast<uint32_t>(sectionRva + dataOffsets[r]));
                put32(out, entries + 16 * r + 4, static_cast<uint32_t>(resources[r].data.size()));
                put32(out, entries + 16 * r + 8, resources[r].codePage);
                std::copy(resources[r].data.begin(), resources[r].data.end(),
                          out.begin() + static_cast<std::ptrdiff_t>(dataOffsets[r]));
            }
        }
    }
    return out;
}

} // namespace noviq::brand
