// A PE executable as the branding tool rewrites it: the headers, the resource section and
// the base relocation section after it. Reading refuses (exit code 3) what cannot be
// rewritten safely: truncated or corrupt headers, images that still carry symbols or debug
// sections, signed images, and layouts other than the launchers' own (the resource section
// last, or followed only by the relocations).
#pragma once

#include <vector>

#include "brand/bytes.h"
#include "brand/resource_tree.h"

namespace noviq::brand {

class PeImage {
public:
    explicit PeImage(const Bytes& file);

    const std::vector<Resource>& resources() const { return resources_; }
    // The whole file with `resources` as its resource section: the relocation section moves
    // to follow it, the sizes and the checksum are updated, anything after the last section
    // (an overlay) is kept at the end.
    Bytes withResources(const std::vector<Resource>& resources) const;

private:
    struct Section {
        size_t header; // file offset of its section header
        uint32_t virtualSize, virtualAddress, rawSize, rawPointer;
    };
    const Bytes& file_;
    size_t fileHeader_ = 0, optionalHeader_ = 0;
    uint32_t symbolTable_ = 0; // an empty table's place in the overlay, or 0
    size_t directories_ = 0;   // file offset of the data directories
    uint32_t sectionAlignment_ = 0, fileAlignment_ = 0;
    std::vector<Section> sections_;
    size_t resourceIndex_ = 0;
    std::vector<Resource> resources_;
};

// The optional header's checksum of a whole image whose checksum field is at
// `checksumOffset` (that field counts as zero).
uint32_t peChecksum(const Bytes& file, size_t checksumOffset);

} // namespace noviq::brand
