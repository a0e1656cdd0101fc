// Byte helpers of the branding tool: little-endian fields read with bounds checks (a read
// outside the bytes is a refusal, never an access), appended and patched, and the refusal
// that carries the tool's exit code and its one error line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace noviq::brand {

using Bytes = std::vector<uint8_t>;

// What the tool's process exits with.
enum ExitCode : int {
    kSuccess = 0,
    kUsage = 2,         // the command line: options, versions, OUTPUT equal to INPUT
    kBadExecutable = 3, // INPUT is not one of the launchers as released, or is corrupt
    kBadIcon = 4,       // the --icon file
    kFileError = 5,     // a file could not be read or written
};

// Thrown inside the tool's code and caught where it reports: the one line it prints.
struct Refusal {
    int exitCode;
    std::string message;
};

[[noreturn]] inline void refuse(int exitCode, std::string message) {
    throw Refusal{exitCode, std::move(message)};
}

// A bounded view of bytes; every read checks its range and refuses as `what` being corrupt.
class ByteView {
public:
    ByteView(const uint8_t* data, size_t size, int exitCode, const char* what)
        : data_(data), size_(size), exitCode_(exitCode), what_(what) {}

    size_t size() const { return size_; }
    const uint8_t* data() const { return data_; }
    bool fits(size_t at, size_t length) const { return at <= size_ && length <= size_ - at; }
    void need(size_t at, size_t length) const {
        if (!fits(at, length))
            corrupt("is truncated or has an offset outside the file");
    }
    [[noreturn]] void corrupt(const std::string& why) const {
        refuse(exitCode_, std::string(what_) + " " + why);
    }
    uint8_t u8(size_t at) const {
        need(at, 1);
        return data_[at];
    }
    uint16_t u16(size_t at) const {
        need(at, 2);
        return static_cast<uint16_t>(data_[at] | data_[at + 1] << 8);
    }
    uint32_t u32(size_t at) const {
        need(at, 4);
        return static_cast<uint32_t>(data_[at]) | static_cast<uint32_t>(data_[at + 1]) << 8 |
               static_cast<uint32_t>(data_[at + 2]) << 16 |
               static_cast<uint32_t>(data_[at + 3]) << 24;
    }
    Bytes copy(size_t at, size_t length) const {
        need(at, length);
        return Bytes(data_ + at, data_ + at + length);
    }
    ByteView sub(size_t at, size_t length) const {
        need(at, length);
        return ByteView(data_ + at, length, exitCode_, what_);
    }

private:
    const uint8_t* data_;
    size_t size_;
    int exitCode_;
    const char* what_;
};

inline void put16(Bytes& out, size_t at, uint32_t value) {
    out[at] = static_cast<uint8_t>(value);
    out[at + 1] = static_cast<uint8_t>(value >> 8);
}
inline void put32(Bytes& out, size_t at, uint32_t value) {
    put16(out, at, value & 0xFFFF);
    put16(out, at + 2, value >> 16);
}
inline void append16(Bytes& out, uint32_t value) {
    out.resize(out.size() + 2);
    put16(out, out.size() - 2, value);
}
inline void append32(Bytes& out, uint32_t value) {
    out.resize(out.size() + 4);
    put32(out, out.size() - 4, value);
}
inline void padTo(Bytes& out, size_t alignment) {
    out.resize((out.size() + alignment - 1) / alignment * alignment);
}
inline uint64_t alignUp(uint64_t value, uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

// UTF-8 (as given on the command line) to UTF-16 and back, for the version strings; an
// invalid sequence becomes U+FFFD.
std::u16string utf16FromUtf8(const std::string& text);
std::string utf8FromUtf16(const std::u16string& text);

} // namespace noviq::brand
