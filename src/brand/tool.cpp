// The noviq-brand command line and its file handling.
#include "brand/tool.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "brand/brand.h"

namespace noviq::brand {

namespace {

namespace fs = std::filesystem;

constexpr const char* kUsageText =
    "usage: noviq-brand INPUT.exe OUTPUT.exe [options]\n"
    "  INPUT is noviq.exe, noviqw.exe or noviq32.exe as released (or a branded copy)\n"
    "  --icon FILE.ico            the application's icon (every image of the file)\n"
    "  --file-version N[.N[.N[.N]]]   --product-version N[.N[.N[.N]]]\n"
    "  --company TEXT  --product-name TEXT  --description TEXT  --copyright TEXT\n"
    "  --original-filename TEXT  --internal-name TEXT  --comments TEXT\n"
    "  --execution-level asInvoker|highestAvailable|requireAdministrator\n"
    "  --dpi-awareness unaware|system|permonitorv2\n"
    "  --long-path-aware\n"
    "See docs/branding.md.\n";

fs::path pathOf(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

Bytes readAll(const fs::path& path, const std::string& name) {
    std::ifstream in(path, std::ios::binary);
    Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof())
        refuse(kFileError, "cannot read " + name);
    if (!in.is_open() || fs::is_directory(path))
        refuse(kFileError, "cannot read " + name + " (no such file)");
    return bytes;
}

void writeAtomically(const fs::path& path, const Bytes& bytes, const std::string& name,
                     fs::perms perms) {
    fs::path temporary = path;
    temporary += ".brand-partial";
    std::error_code error;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            fs::remove(temporary, error);
            refuse(kFileError, "cannot write " + name);
        }
    }
    fs::permissions(temporary, perms, error);
    fs::rename(temporary, path, error);
    if (error) {
        fs::remove(temporary, error);
        refuse(kFileError, "cannot write " + name + " (" + error.message() + ")");
    }
}

int brandFiles(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    BrandOptions options;
    std::optional<std::string> iconFile;
    const std::pair<const char*, std::optional<std::string>*> valued[] = {
        {"--icon", &iconFile},
        {"--file-version", &options.fileVersion},
        {"--product-version", &options.productVersion},
        {"--company", &options.company},
        {"--product-name", &options.productName},
        {"--description", &options.description},
        {"--copyright", &options.copyright},
        {"--original-filename", &options.originalFilename},
        {"--internal-name", &options.internalName},
        {"--comments", &options.comments},
        {"--execution-level", &options.manifest.executionLevel},
        {"--dpi-awareness", &options.manifest.dpiAwareness},
    };
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsageText, stdout);
            return kSuccess;
        }
        if (arg == "--long-path-aware") {
            options.manifest.longPathAware = true;
            continue;
        }
        if (!arg.starts_with("--")) {
            files.push_back(arg);
            continue;
        }
        const size_t equals = arg.find('=');
        const std::string name = arg.substr(0, equals);
        std::optional<std::string>* target = nullptr;
        for (const auto& [option, field] : valued)
            if (name == option)
                target = field;
        if (!target)
            refuse(kUsage, "unknown option " + name + " (noviq-brand --help lists them)");
        if (equals != arg.npos)
            *target = arg.substr(equals + 1);
        else if (i + 1 < args.size())
            *target = args[++i];
        else
            refuse(kUsage, name + " needs a value");
    }
    if (files.size() != 2)
        refuse(kUsage, "give INPUT.exe and OUTPUT.exe (noviq-brand --help)");
    const fs::path input = pathOf(files[0]), output = pathOf(files[1]);
    std::error_code error, outputError;
    const fs::path canonicalInput = fs::weakly_canonical(input, error),
                   canonicalOutput = fs::weakly_canonical(output, outputError);
    if ((!error && !outputError && canonicalInput == canonicalOutput) ||
        fs::equivalent(input, output, error))
        refuse(kUsage, "OUTPUT is INPUT: write the branded launcher to a new file");
    options.outputName = files[1].substr(files[1].find_last_of("/\\") + 1);
    if (iconFile)
        options.icon = readAll(pathOf(*iconFile), "the --icon file " + *iconFile);
    const BrandResult result = brandImage(readAll(input, "INPUT " + files[0]), options);
    if (result.exitCode != kSuccess)
        refuse(result.exitCode, result.error);
    writeAtomically(output, result.image, "OUTPUT " + files[1],
                    fs::status(input, error).permissions());
    return kSuccess;
}

} // namespace

int runTool(const std::vector<std::string>& args) {
    try {
        return brandFiles(args);
    } catch (const Refusal& refusal) {
        std::fprintf(stderr, "noviq-brand: %s\n", refusal.message.c_str());
        return refusal.exitCode;
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "noviq-brand: %s\n", failure.what());
        return kFileError;
    }
}

} // namespace noviq::brand
