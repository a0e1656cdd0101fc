// ScenarioDir: the private folder one scenario builds its installation in.
#include "harness.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <stdexcept>

namespace fs = std::filesystem;

namespace noviq::test {

ScenarioDir::ScenarioDir() {
    std::string pattern = (fs::temp_directory_path() / "noviq-scenario-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("mkdtemp failed for " + pattern);
    path_ = pattern;
}

ScenarioDir::~ScenarioDir() {
    if (getenv("NOVIQ_KEEP_SCENARIOS")) {
        fprintf(stderr, "scenario folder kept: %s\n", path_.c_str());
        return;
    }
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

fs::path ScenarioDir::write(const std::string& relative, const std::string& content) const {
    const fs::path target = path_ / relative;
    fs::create_directories(target.parent_path());
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out << content;
    out.close();
    if (!out)
        ADD_FAILURE() << "cannot write " << target;
    return target;
}

fs::path ScenarioDir::copy(const fs::path& from, const std::string& relative) const {
    const fs::path target = path_ / relative;
    fs::create_directories(target.parent_path());
    if (fs::is_directory(from))
        fs::copy(from, target, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    else
        fs::copy_file(from, target, fs::copy_options::overwrite_existing);
    return target;
}

} // namespace noviq::test
