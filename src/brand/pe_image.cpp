// Reading and rewriting the PE image around its resource section.
#include "brand/pe_image.h"

#include <algorithm>
#include <cstring>

namespace noviq::brand {

namespace {

constexpr const char* kWhat = "INPUT";
constexpr size_t kDirectoryResource = 2, kDirectorySecurity = 4, kDirectoryRelocations = 5;

} // namespace

uint32_t peChecksum(const Bytes& file, size_t checksumOffset) {
    uint64_t sum = 0;
    for (size_t at = 0; at < file.size(); at += 2) {
        if (at == checksumOffset || at == checksumOffset + 2)
            continue;
        sum += file[at] | (at + 1 < file.size() ? file[at + 1] << 8 : 0);
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    sum = (sum & 0xFFFF) + (sum >> 16);
    return static_cast<uint32_t>(sum + file.size());
}

PeImage::PeImage(const Bytes& file) : file_(file) {
    const ByteView view(file.data(), file.size(), kBadExecutable, kWhat);
    if (file.size() < 64 || view.u16(0) != 0x5A4D)
        view.corrupt("is not a Windows executable (no MZ header)");
    const size_t pe = view.u32(0x3C);
    if (!view.fits(pe, 24) || view.u32(pe) != 0x00004550)
        view.corrupt("is not a Windows executable (no PE header)");
    const uint16_t machine = view.u16(pe + 4);
    const size_t sectionCount = view.u16(pe + 6);
    const uint32_t symbolTable = view.u32(pe + 12), symbolCount = view.u32(pe + 16);
    const size_t optionalSize = view.u16(pe + 20);
    optionalHeader_ = pe + 24;
    const uint16_t magic = view.u16(optionalHeader_);
    if (!((machine == 0x8664 && magic == 0x20B) || (machine == 0x014C && magic == 0x10B)))
        view.corrupt("is neither an x64 nor an x86 Windows executable");
    const size_t countField = optionalHeader_ + (magic == 0x20B ? 108 : 92);
    directories_ = countField + 4;
    const uint32_t directoryCount = view.u32(countField);
    if (directoryCount <= kDirectoryRelocations || directoryCount > 16 ||
        directories_ + 8 * directoryCount > optionalHeader_ + optionalSize)
        view.corrupt("has a corrupt optional header");
    sectionAlignment_ = view.u32(optionalHeader_ + 32);
    fileAlignment_ = view.u32(optionalHeader_ + 36);
    if (fileAlignment_ < 512 || (fileAlignment_ & (fileAlignment_ - 1)) ||
        sectionAlignment_ < fileAlignment_ || (sectionAlignment_ & (sectionAlignment_ - 1)))
        view.corrupt("has a corrupt optional header (alignment)");

    bool debugSections = false;
    const size_t table = optionalHeader_ + optionalSize;
    view.need(table, sectionCount * 40);
    for (size_t i = 0; i < sectionCount; ++i) {
        const size_t at = table + 40 * i;
        // A "/N" name is at offset N of the string table after the symbols.
        size_t name = at;
        if (file[at] == '/') {
            size_t offset = 0;
            for (size_t k = 1; k < 8 && file[at + k] >= '0' && file[at + k] <= '9'; ++k)
                offset = offset * 10 + static_cast<size_t>(file[at + k] - '0');
            name = size_t{symbolTable} + 18 * size_t{symbolCount} + offset;
            if (!symbolTable || !view.fits(name, 6))
                view.corrupt("has a section name outside its string table");
        }
        debugSections |= std::memcmp(&file[name], ".debug", 6) == 0;
        sections_.push_back(
            {at, view.u32(at + 8), view.u32(at + 12), view.u32(at + 16), view.u32(at + 20)});
        const Section& s = sections_.back();
        if (s.rawSize && !view.fits(s.rawPointer, s.rawSize))
            view.corrupt("is truncated (a section lies past its end)");
        if (s.rawSize && s.rawPointer < table + 40 * sectionCount)
            view.corrupt("has a section inside its headers");
        if (i > 0 &&
            s.virtualAddress < sections_[i - 1].virtualAddress +
                                   std::max(sections_[i - 1].virtualSize, sections_[i - 1].rawSize))
            view.corrupt("has overlapping sections");
    }
    // A stripped image may still point at an empty string table after its sections (the
    // i686 strip leaves one): that overlay moves with the sections' end.
    if (symbolCount || debugSections)
        refuse(kBadExecutable, "INPUT is not stripped (it has a symbol table or debug sections): "
                               "brand the release executable, or strip it first");
    if (sections_.empty())
        view.corrupt("has no sections");
    symbolTable_ = symbolTable;
    fileHeader_ = pe + 4;
    const Section& lastSection = sections_.back();
    if (symbolTable && symbolTable < size_t{lastSection.rawPointer} + lastSection.rawSize)
        view.corrupt("has a symbol table inside its sections");
    auto directory = [&](size_t index) {
        return std::pair{view.u32(directories_ + 8 * index),
                         view.u32(directories_ + 8 * index + 4)};
    };
    if (directory(kDirectorySecurity).first || directory(kDirectorySecurity).second)
        refuse(kBadExecutable, "INPUT is signed: branding would break its signature; brand the "
                               "unsigned executable and sign the result");

    const uint32_t resourceRva = directory(kDirectoryResource).first,
                   resourceSize = directory(kDirectoryResource).second;
    const auto found = std::find_if(sections_.begin(), sections_.end(), [&](const Section& s) {
        return resourceRva && s.virtualAddress == resourceRva;
    });
    if (found == sections_.end())
        refuse(kBadExecutable,
               "INPUT is not one of the Noviq launchers (it has no resource section)");
    resourceIndex_ = static_cast<size_t>(found - sections_.begin());
    const Section& rsrc = *found;
    if (resourceSize > rsrc.rawSize)
        view.corrupt("has a resource directory larger than its section");
    // Only the relocations may follow the resources: they are the one section that can move
    // without any code referring to its new place.
    const size_t after = sections_.size() - resourceIndex_ - 1;
    if (after > 1)
        refuse(kBadExecutable, "INPUT has sections after its resources that cannot be moved: "
                               "not one of the Noviq launchers");
    const uint32_t end =
        rsrc.virtualAddress +
        static_cast<uint32_t>(alignUp(std::max(rsrc.virtualSize, rsrc.rawSize), sectionAlignment_));
    for (size_t index = 0; index < directoryCount; ++index) {
        const auto [rva, size] = directory(index);
        if (index == kDirectoryResource || index == kDirectorySecurity || (!rva && !size))
            continue;
        const bool inLast = after == 1 && rva >= sections_.back().virtualAddress;
        if ((rva >= rsrc.virtualAddress && rva < end && index != kDirectoryResource) ||
            (inLast && index != kDirectoryRelocations))
            refuse(kBadExecutable, "INPUT has data that cannot be moved after its resources: "
                                   "not one of the Noviq launchers");
    }
    for (size_t i = 0; i < resourceIndex_; ++i)
        if (sections_[i].rawSize &&
            size_t{sections_[i].rawPointer} + sections_[i].rawSize > rsrc.rawPointer)
            refuse(kBadExecutable, "INPUT has sections stored after its resources: not one of "
                                   "the Noviq launchers");
    if (after == 1 && sections_.back().rawPointer != rsrc.rawPointer + rsrc.rawSize)
        refuse(kBadExecutable, "INPUT has a gap after its resource section: not one of the "
                               "Noviq launchers");
    resources_ = readResources(view.sub(rsrc.rawPointer, rsrc.rawSize), rsrc.virtualAddress);
}

Bytes PeImage::withResources(const std::vector<Resource>& resources) const {
    const Section& rsrc = sections_[resourceIndex_];
    const ByteView view(file_.data(), file_.size(), kBadExecutable, kWhat);
    const Bytes section = writeResources(resources, rsrc.virtualAddress);
    const auto rawSize = static_cast<uint32_t>(alignUp(section.size(), fileAlignment_));
    const bool relocations = resourceIndex_ + 1 < sections_.size();
    const Section& last = sections_.back();
    const size_t oldEnd = size_t{last.rawPointer} + last.rawSize;

    Bytes out(file_.begin(), file_.begin() + rsrc.rawPointer);
    out.insert(out.end(), section.begin(), section.end());
    out.resize(size_t{rsrc.rawPointer} + rawSize, 0);
    put32(out, rsrc.header + 8, static_cast<uint32_t>(section.size()));
    put32(out, rsrc.header + 16, rawSize);
    put32(out, directories_ + 8 * kDirectoryResource + 4, static_cast<uint32_t>(section.size()));
    uint32_t imageEnd = rsrc.virtualAddress + static_cast<uint32_t>(section.size());
    if (relocations) {
        const auto moved = static_cast<uint32_t>(alignUp(imageEnd, sectionAlignment_));
        const uint32_t rvaField = view.u32(directories_ + 8 * kDirectoryRelocations);
        if (rvaField)
            put32(out, directories_ + 8 * kDirectoryRelocations,
                  rvaField - last.virtualAddress + moved);
        put32(out, last.header + 12, moved);
        put32(out, last.header + 20, static_cast<uint32_t>(out.size()));
        out.insert(out.end(), file_.begin() + last.rawPointer,
                   file_.begin() + last.rawPointer + last.rawSize);
        imageEnd = moved + std::max(last.virtualSize, last.rawSize);
    }
    if (symbolTable_)
        put32(out, fileHeader_ + 8, static_cast<uint32_t>(symbolTable_ - oldEnd + out.size()));
    out.insert(out.end(),
               file_.begin() + static_cast<std::ptrdiff_t>(std::min(oldEnd, file_.size())),
               file_.end());
    // SizeOfInitializedData counts the raw sizes of the data sections, .rsrc among them.
    const uint32_t initialized = view.u32(optionalHeader_ + 8);
    put32(out, optionalHeader_ + 8, initialized - rsrc.rawSize + rawSize);
    put32(out, optionalHeader_ + 56, static_cast<uint32_t>(alignUp(imageEnd, sectionAlignment_)));
    put32(out, optionalHeader_ + 64, peChecksum(out, optionalHeader_ + 64));
    return out;
}

} // namespace noviq::brand
