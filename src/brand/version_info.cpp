// Reading and writing VS_VERSIONINFO: nodes of (length, value length, type, key, value,
// children), each starting on a 4-byte boundary of the resource.
#include "brand/version_info.h"

#include <functional>

namespace noviq::brand {

namespace {

struct Node {
    size_t start, end; // the node's bytes
    std::u16string key;
    size_t value; // where its value starts (4-byte aligned after the key)
    uint16_t valueLength;
};

Node readNode(const ByteView& view, size_t at, size_t limit) {
    Node node{at, at + view.u16(at), {}, 0, view.u16(at + 2)};
    if (node.end < at + 6 || node.end > limit)
        view.corrupt("has a corrupt version resource");
    size_t p = at + 6;
    for (char16_t c; p + 2 <= node.end && (c = static_cast<char16_t>(view.u16(p))) != 0; p += 2)
        node.key += c;
    node.value = alignUp(p + 2, 4);
    return node;
}

// The children of `node` whose first child starts at or after `from`.
void forChildren(const ByteView& view, const Node& node, size_t from,
                 const std::function<void(const Node&)>& visit) {
    for (size_t at = alignUp(from, 4); at + 6 <= node.end;) {
        const Node child = readNode(view, at, node.end);
        visit(child);
        at = alignUp(child.end, 4);
    }
}

std::u16string stringAt(const ByteView& view, size_t at, size_t end) {
    std::u16string text;
    for (char16_t c; at + 2 <= end && (c = static_cast<char16_t>(view.u16(at))) != 0; at += 2)
        text += c;
    return text;
}

// Appends a node; `children` appends its children, each after padding to 4 bytes.
void writeNode(Bytes& out, std::u16string_view key, uint16_t type, const Bytes& value,
               uint16_t valueLength, const std::function<void()>& children = {}) {
    padTo(out, 4);
    const size_t start = out.size();
    append16(out, 0);
    append16(out, valueLength);
    append16(out, type);
    for (char16_t c : key)
        append16(out, c);
    append16(out, 0);
    if (!value.empty()) {
        padTo(out, 4);
        out.insert(out.end(), value.begin(), value.end());
    }
    if (children)
        children();
    put16(out, start, static_cast<uint32_t>(out.size() - start));
}

} // namespace

const std::u16string* VersionInfo::find(std::u16string_view key) const {
    for (const auto& [name, value] : strings)
        if (name == key)
            return &value;
    return nullptr;
}

void VersionInfo::set(const std::u16string& key, const std::u16string& value) {
    for (auto& [name, existing] : strings)
        if (name == key) {
            existing = value;
            return;
        }
    strings.emplace_back(key, value);
}

void VersionInfo::setFixedVersion(bool product, const std::array<uint16_t, 4>& numbers) {
    const size_t at = product ? 16 : 8;
    put32(fixed, at, static_cast<uint32_t>(numbers[0]) << 16 | numbers[1]);
    put32(fixed, at + 4, static_cast<uint32_t>(numbers[2]) << 16 | numbers[3]);
}

VersionInfo readVersionInfo(const Bytes& data) {
    const ByteView view(data.data(), data.size(), kBadExecutable, "INPUT");
    const Node root = readNode(view, 0, data.size());
    if (root.key != u"VS_VERSION_INFO" || root.valueLength != 52 ||
        view.u32(root.value) != 0xFEEF04BD)
        view.corrupt("has a corrupt version resource");
    VersionInfo info;
    info.fixed = view.copy(root.value, 52);
    bool haveTable = false;
    forChildren(view, root, root.value + 52, [&](const Node& block) {
        if (block.key == u"StringFileInfo") {
            forChildren(view, block, block.value, [&](const Node& table) {
                if (haveTable)
                    return;
                haveTable = true;
                info.table = table.key;
                forChildren(view, table, table.value, [&](const Node& string) {
                    info.strings.emplace_back(string.key, stringAt(view, string.value, string.end));
                });
            });
        } else if (block.key == u"VarFileInfo") {
            forChildren(view, block, block.value, [&](const Node& var) {
                if (var.key == u"Translation" && var.value + var.valueLength <= var.end)
                    info.translation = view.copy(var.value, var.valueLength);
            });
        }
    });
    return info;
}

Bytes writeVersionInfo(const VersionInfo& info) {
    Bytes out;
    writeNode(out, u"VS_VERSION_INFO", 0, info.fixed, 52, [&] {
        writeNode(out, u"StringFileInfo", 1, {}, 0, [&] {
            writeNode(out, info.table, 1, {}, 0, [&] {
                for (const auto& [key, value] : info.strings) {
                    Bytes text;
                    for (char16_t c : value)
                        append16(text, c);
                    append16(text, 0);
                    writeNode(out, key, 1, text, static_cast<uint16_t>(value.size() + 1));
                }
            });
        });
        if (!info.translation.empty())
            writeNode(out, u"VarFileInfo", 1, {}, 0, [&] {
                writeNode(out, u"Translation", 0, info.translation,
                          static_cast<uint16_t>(info.translation.size()));
            });
    });
    return out;
}

std::optional<std::array<uint16_t, 4>> parseVersionNumbers(const std::string& text) {
    std::array<uint16_t, 4> numbers{};
    size_t count = 0, at = 0;
    while (true) {
        size_t digits = 0;
        uint32_t value = 0;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9' && digits < 6) {
            value = value * 10 + static_cast<uint32_t>(text[at++] - '0');
            ++digits;
        }
        if (digits == 0 || digits > 5 || value > 65535 || count == 4)
            return std::nullopt;
        numbers[count++] = static_cast<uint16_t>(value);
        if (at == text.size())
            return numbers;
        if (text[at++] != '.')
            return std::nullopt;
    }
}

} // namespace noviq::brand
