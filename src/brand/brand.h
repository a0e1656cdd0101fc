// Branding one of the Noviq launchers: its icon, version resource and manifest settings,
// applied to the file's bytes in memory (no file access: the tool's main reads and writes).
#pragma once

#include <optional>
#include <string>

#include "brand/bytes.h"
#include "brand/manifest.h"

namespace noviq::brand {

struct BrandOptions {
    std::optional<Bytes> icon; // the .ico file's bytes
    // Version strings as given (UTF-8); unset ones keep INPUT's, or their defaults.
    std::optional<std::string> fileVersion, productVersion, company, productName, description,
        copyright, originalFilename, internalName, comments;
    ManifestSettings manifest;
    std::string outputName; // OUTPUT's file name: the default original file name
};

// The branded file, or a refusal's exit code and message (exactly one of them).
struct BrandResult {
    Bytes image;
    int exitCode = kSuccess;
    std::string error;
};

// The key under which a branded file keeps the launcher's own version (which Noviq it is):
// it also tells a branded launcher from other executables.
inline constexpr char16_t kLauncherVersionKey[] = u"NoviqVersion";

BrandResult brandImage(const Bytes& input, const BrandOptions& options);

} // namespace noviq::brand
