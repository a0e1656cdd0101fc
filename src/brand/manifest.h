// The application manifest's settings the branding tool changes: the requested execution
// level, and the DPI and long-path settings (an asm.v3 <application> block of its own,
// rewritten whole on every branding). The rest of the manifest stays as it is.
#pragma once

#include <optional>
#include <string>

namespace noviq::brand {

struct ManifestSettings {
    std::optional<std::string> executionLevel; // asInvoker, highestAvailable, requireAdministrator
    std::optional<std::string> dpiAwareness;   // unaware, system, permonitorv2
    bool longPathAware = false;                // only ever turned on
};

// The manifest with `settings` applied; a manifest without an execution level is refused
// (exit code 3).
std::string editManifest(const std::string& manifest, const ManifestSettings& settings);

} // namespace noviq::brand
