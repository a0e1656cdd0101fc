// Helpers shared by the unit tests: temporary folders, path and text conversions, and
// environment variables set for one test.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "base/basic_string.h"
#include "base/string_list.h"
#include "common/text.h"
#include "platform/environment.h"
#include "platform/path_style.h"

namespace noviq::test {

inline WideString wide(const std::u16string& text) {
    return WideString(text.data(), static_cast<int32_t>(text.size()));
}
inline WideString wide(const std::filesystem::path& path) {
    return wide(path.u16string());
}
inline std::u16string u16(const WideString& text) {
    return std::u16string(text.c_str(), static_cast<size_t>(text.length()));
}
using Texts = std::vector<std::u16string>;
inline Texts texts(const StringList& list) {
    Texts out;
    for (const WideString& item : list)
        out.push_back(u16(item));
    return out;
}
inline StringList listOf(const Texts& items) {
    StringList list;
    for (const std::u16string& item : items)
        list.add(wide(item));
    return list;
}
inline bool onWindows() {
    return platform::kPathSeparator == u'\\';
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

// Sets an environment variable for the guard's lifetime. The destructor puts back the
// previous value, or the unset state, so a failed assertion cannot leak it into later tests.
class ScopedEnvironmentVariable {
public:
    ScopedEnvironmentVariable(const WideString& name, const WideString& value)
        : name_(name), saved_(platform::environmentVariable(name, 32767)) {
        if (!platform::setEnvironmentVariable(name, value))
            ADD_FAILURE() << "cannot set " << narrow(name).c_str();
    }
    ~ScopedEnvironmentVariable() {
        if (saved_) {
            platform::setEnvironmentVariable(name_, *saved_);
            return;
        }
        platform::removeEnvironmentVariable(name_);
    }
    ScopedEnvironmentVariable(const ScopedEnvironmentVariable&) = delete;
    ScopedEnvironmentVariable& operator=(const ScopedEnvironmentVariable&) = delete;

private:
    WideString name_;
    std::optional<WideString> saved_;
};

} // namespace noviq::test
