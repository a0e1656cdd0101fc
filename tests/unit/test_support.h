// Helpers shared by the unit tests: temporary folders, path and text conversions.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "base/basic_string.h"

namespace noviq::test {

inline WideString wide(const std::u16string& text) {
    return WideString(text.data(), static_cast<int32_t>(text.size()));
}
inline WideString wide(const std::filesystem::path& path) { return wide(path.u16string()); }
inline std::u16string u16(const WideString& text) {
    return std::u16string(text.c_str(), static_cast<size_t>(text.length()));
}

// A unique folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        const auto base = std::filesystem::temp_directory_path();
        std::random_device random;
        for (;;) {
            path_ = base / ("noviq-unit-" + std::to_string(random()));
            if (std::filesystem::create_directory(path_))
                break;
        }
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path write(const std::string& relative, const std::string& bytes) const {
        const auto file = path_ / std::filesystem::path(relative).make_preferred();
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << bytes;
        return file;
    }

private:
    std::filesystem::path path_;
};

} // namespace noviq::test
