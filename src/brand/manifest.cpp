// Text edits of the application manifest.
#include "brand/manifest.h"

#include "brand/bytes.h"

namespace noviq::brand {

namespace {

constexpr std::string_view kBlockStart = "<application xmlns=\"urn:schemas-microsoft-com:asm.v3\">";
constexpr std::string_view kBlockEnd = "</application>";

} // namespace

std::string editManifest(const std::string& manifest, const ManifestSettings& settings) {
    std::string text = manifest;
    const size_t element = text.find("<requestedExecutionLevel");
    const size_t level = element == text.npos ? text.npos : text.find("level=\"", element);
    const size_t levelEnd = level == text.npos ? text.npos : text.find('"', level + 7);
    if (levelEnd == text.npos)
        refuse(kBadExecutable, "INPUT is not one of the Noviq launchers (its manifest has no "
                               "execution level)");
    if (settings.executionLevel)
        text.replace(level + 7, levelEnd - level - 7, *settings.executionLevel);

    // The settings of an earlier branding stay unless changed.
    std::string dpi;
    bool longPaths = settings.longPathAware;
    const size_t block = text.find(kBlockStart);
    if (block != text.npos) {
        const size_t end = text.find(kBlockEnd, block);
        if (end == text.npos)
            refuse(kBadExecutable, "INPUT has a corrupt manifest");
        const std::string old = text.substr(block, end - block);
        dpi = old.find("PerMonitorV2") != old.npos        ? "permonitorv2"
              : old.find(">true</dpiAware>") != old.npos  ? "system"
              : old.find(">false</dpiAware>") != old.npos ? "unaware"
                                                          : "";
        longPaths |= old.find("<longPathAware") != old.npos;
        size_t from = block;
        while (from > 0 &&
               (text[from - 1] == ' ' || text[from - 1] == '\r' || text[from - 1] == '\n'))
            --from;
        text.erase(from, end + kBlockEnd.size() - from);
    }
    if (settings.dpiAwareness)
        dpi = *settings.dpiAwareness;
    if (dpi.empty() && !longPaths)
        return text;

    const std::string nl = text.find("\r\n") != text.npos ? "\r\n" : "\n";
    std::string settingsBlock =
        nl + "  " + std::string(kBlockStart) + nl + "    <windowsSettings>" + nl;
    const std::string smi2005 = "xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\"";
    const std::string smi2016 = "xmlns=\"http://schemas.microsoft.com/SMI/2016/WindowsSettings\"";
    if (!dpi.empty())
        settingsBlock += "      <dpiAware " + smi2005 + ">" +
                         (dpi == "unaware"  ? "false"
                          : dpi == "system" ? "true"
                                            : "true/pm") +
                         "</dpiAware>" + nl;
    if (dpi == "permonitorv2")
        settingsBlock += "      <dpiAwareness " + smi2016 + ">PerMonitorV2</dpiAwareness>" + nl;
    if (longPaths)
        settingsBlock += "      <longPathAware " + smi2016 + ">true</longPathAware>" + nl;
    settingsBlock += "    </windowsSettings>" + nl + "  " + std::string(kBlockEnd);
    const size_t close = text.rfind("</assembly>");
    if (close == text.npos)
        refuse(kBadExecutable, "INPUT has a corrupt manifest");
    size_t at = close;
    while (at > 0 && (text[at - 1] == ' ' || text[at - 1] == '\r' || text[at - 1] == '\n'))
        --at;
    text.insert(at, settingsBlock);
    return text;
}

} // namespace noviq::brand
