// Branding in memory: the launcher is recognised by its version resource, then the icon,
// version and manifest resources are replaced and the PE image rewritten.
#include "brand/brand.h"

#include <algorithm>

#include "brand/icon_file.h"
#include "brand/pe_image.h"
#include "brand/resource_tree.h"
#include "brand/version_info.h"

namespace noviq::brand {

namespace {

using namespace resource_type;
constexpr uint32_t kEnglishUs = 0x409;

bool isType(const Resource& resource, uint32_t type) {
    return !resource.type.named && resource.type.id == type;
}

Resource* findFirst(std::vector<Resource>& resources, uint32_t type) {
    const auto found = std::find_if(resources.begin(), resources.end(),
                                    [&](const Resource& r) { return isType(r, type); });
    return found == resources.end() ? nullptr : &*found;
}

void check(bool valid, int exitCode, const std::string& message) {
    if (!valid)
        refuse(exitCode, message);
}

std::array<uint16_t, 4> versionNumbers(const std::string& option, const std::string& text) {
    const auto numbers = parseVersionNumbers(text);
    check(numbers.has_value(), kUsage,
          option + " '" + text + "' is not one to four numbers from 0 to 65535 separated by dots");
    return *numbers;
}

void applyVersion(Resource& resource, const BrandOptions& options) {
    VersionInfo info = readVersionInfo(resource.data);
    // Ours: the product name an unbranded launcher has, or the key a branding leaves.
    const std::u16string* launcherVersion = info.find(kLauncherVersionKey);
    const std::u16string* product = info.find(u"ProductName");
    const bool unbranded =
        product && *product == u"Noviq Java Launcher" && info.find(u"FileVersion");
    check(launcherVersion || unbranded, kBadExecutable,
          "INPUT is not one of the Noviq launchers (noviq.exe, noviqw.exe, noviq32.exe or a "
          "branded copy of one)");
    const std::u16string noviqVersion =
        launcherVersion ? *launcherVersion : *info.find(u"FileVersion");

    if (options.fileVersion) {
        info.setFixedVersion(false, versionNumbers("--file-version", *options.fileVersion));
        info.set(u"FileVersion", utf16FromUtf8(*options.fileVersion));
    }
    if (options.productVersion) {
        info.setFixedVersion(true, versionNumbers("--product-version", *options.productVersion));
        info.set(u"ProductVersion", utf16FromUtf8(*options.productVersion));
    }
    const std::string stem =
        options.outputName.size() > 4 &&
                (options.outputName.ends_with(".exe") || options.outputName.ends_with(".EXE"))
            ? options.outputName.substr(0, options.outputName.size() - 4)
            : options.outputName;
    const std::pair<const std::optional<std::string>*, const char16_t*> fields[] = {
        {&options.company, u"CompanyName"},
        {&options.productName, u"ProductName"},
        {&options.description, u"FileDescription"},
        {&options.copyright, u"LegalCopyright"},
        {&options.comments, u"Comments"}};
    for (const auto& [value, key] : fields)
        if (*value)
            info.set(key, utf16FromUtf8(**value));
    info.set(u"OriginalFilename",
             utf16FromUtf8(options.originalFilename.value_or(options.outputName)));
    info.set(u"InternalName", utf16FromUtf8(options.internalName.value_or(stem)));
    if (!info.find(u"Comments"))
        info.set(u"Comments", u"Started by the Noviq Java Launcher " + noviqVersion);
    info.set(kLauncherVersionKey, noviqVersion);
    resource.data = writeVersionInfo(info);
}

void applyIcon(std::vector<Resource>& resources, const Bytes& file) {
    const std::vector<IconImage> images = readIconFile(file);
    // Any earlier icons go: the new group is the first, and the only one.
    std::erase_if(resources,
                  [](const Resource& r) { return isType(r, kIcon) || isType(r, kGroupIcon); });
    for (size_t i = 0; i < images.size(); ++i)
        resources.push_back({ResourceKey::of(kIcon), ResourceKey::of(static_cast<uint32_t>(i + 1)),
                             kEnglishUs, 0, images[i].data});
    resources.push_back(
        {ResourceKey::of(kGroupIcon), ResourceKey::of(1), kEnglishUs, 0, iconGroup(images, 1)});
}

void applyManifest(Resource& resource, const ManifestSettings& settings) {
    const std::string text(resource.data.begin(), resource.data.end());
    const std::string edited = editManifest(text, settings);
    resource.data.assign(edited.begin(), edited.end());
}

} // namespace

BrandResult brandImage(const Bytes& input, const BrandOptions& options) {
    try {
        const ManifestSettings& manifest = options.manifest;
        check(!manifest.executionLevel || *manifest.executionLevel == "asInvoker" ||
                  *manifest.executionLevel == "highestAvailable" ||
                  *manifest.executionLevel == "requireAdministrator",
              kUsage, "--execution-level is asInvoker, highestAvailable or requireAdministrator");
        check(!manifest.dpiAwareness || *manifest.dpiAwareness == "unaware" ||
                  *manifest.dpiAwareness == "system" || *manifest.dpiAwareness == "permonitorv2",
              kUsage, "--dpi-awareness is unaware, system or permonitorv2");
        for (const auto* version : {&options.fileVersion, &options.productVersion})
            if (*version)
                versionNumbers(version == &options.fileVersion ? "--file-version"
                                                               : "--product-version",
                               **version);

        const PeImage image(input);
        std::vector<Resource> resources = image.resources();
        Resource* version = findFirst(resources, kVersion);
        check(version && findFirst(resources, kDialog) && findFirst(resources, kString),
              kBadExecutable,
              "INPUT is not one of the Noviq launchers (noviq.exe, noviqw.exe, noviq32.exe or a "
              "branded copy of one)");
        applyVersion(*version, options);
        Resource* manifestResource = findFirst(resources, kManifest);
        check(manifestResource != nullptr, kBadExecutable,
              "INPUT is not one of the Noviq launchers (it has no manifest)");
        applyManifest(*manifestResource, manifest);
        if (options.icon)
            applyIcon(resources, *options.icon);
        return {image.withResources(resources), kSuccess, {}};
    } catch (const Refusal& refusal) {
        return {{}, refusal.exitCode, refusal.message};
    }
}

} // namespace noviq::brand
