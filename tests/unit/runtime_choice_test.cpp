// Choosing a runtime: preference matching and the requirement phrase (parsing, printing and
// ordering of versions are checked against a reference reading by
// tests/fuzz/java_version_fuzz.cpp), the order and choice of installed runtimes, which JVM
// library a runtime folder yields, the library's architecture, and the Linux build's
// runtime folders described as the Windows installers' vendor keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "jre/java_version.h"
#include "jre/jvm_library.h"
#include "jre/library_image.h"
#include "jre/runtime_search.h"
#include "platform/environment.h"
#include "platform/image_headers.h"
#include "platform/runtime_layout.h"
#include "test_support.h"

namespace noviq {
namespace {

namespace fs = std::filesystem;
using platform::JvmFlavour;
using test::u16;
using Bytes = std::vector<unsigned char>;

TEST(JavaVersion, MatchesPreferences) {
    struct Case {
        const char16_t* preferred;
        JavaVersion found;
        bool matches;
    } cases[] = {
        {u"1.6", {1, 6, 0, 20}, true},       {u"1.6", {1, 7, 0, 0}, false},
        {u"1.7.0.0", {1, 7, 9, 9}, true},    {u"1.6.0_20", {1, 6, 0, 20}, true},
        {u"1.6.0_20", {1, 6, 0, 21}, false}, {u"1.0.0.5", {1, 0, 0, 5}, true},
        {u"1.0.0.5", {1, 1, 0, 5}, false},   {u"", {1, 6, 0, 0}, false},
    };
    for (const Case& c : cases) {
        JavaVersion preferred;
        preferred.parse(c.preferred, 0);
        EXPECT_EQ(c.found.matchesPreferred(preferred), c.matches)
            << std::u16string(c.preferred).size();
    }
}

TEST(JavaVersionRange, ReadsBoundsAndDescribesTheRequirement) {
    struct Case {
        const char16_t *minimum, *maximum;
        std::u16string phrase;
        bool holds17; // whether 17.0.2 lies in the range
    } cases[] = {
        {u"any", u"any", u"latest version", true},
        {u"1.6", u"any", u"minimum version 1.6", true},
        {u"any", u"1.7", u"maximum version 1.7", false},
        {u"1.6", u"1.6", u"version between 1.6 and 1.6", false},
        {u"1.6.0.20", u"1.6.0.20", u"version 1.6.0.20 is required", false},
        {u"1.6", u"1.8.0_202", u"version between 1.6 and 1.8.0.202", false},
        {u"ANY", u"5", u"maximum version 5.65535", false},
        // A maximum without digits is no upper bound; a minimum without them no lower one.
        {u"11", u"", u"minimum version 11.0", true},
        {u"", u"none", u"latest version", true},
        {u"18", u"", u"minimum version 18.0", false},
        // Versions print without trailing zero or open components, but with at least two.
        {u"1.0.65535.3", u"any", u"minimum version 1.0.65535.3", true},
        {u"any", u"0", u"maximum version 0.0.0.0", false},
    };
    for (const Case& c : cases) {
        const JavaVersionRange range(c.minimum, c.maximum);
        EXPECT_EQ(u16(range.describeRequirement()), c.phrase);
        EXPECT_EQ(range.contains(JavaVersion(17, 0, 2, 0)), c.holds17) << (&c - cases);
    }
}

struct Found {
    const char* version;
    bool isPreferred;
    bool isServerVm;
};

std::vector<JreCandidate> candidatesOf(const std::vector<Found>& found) {
    std::vector<JreCandidate> list;
    for (size_t i = 0; i < found.size(); ++i) {
        JreCandidate c;
        const std::string v = found[i].version;
        c.version.parse(test::wide(std::u16string(v.begin(), v.end())), 0);
        c.homeFolder = test::wide(u"home" + std::u16string(1, char16_t(u'0' + i)));
        c.isPreferred = found[i].isPreferred;
        c.isServerVm = found[i].isServerVm;
        list.push_back(c);
    }
    return list;
}

// The discovery indexes of the candidates, in list order ("home<i>").
std::string order(const std::vector<JreCandidate>& list) {
    std::string text;
    for (const JreCandidate& c : list)
        text += static_cast<char>(c.homeFolder[4]);
    return text;
}

RuntimeRequest preferences(bool searchBothKinds, JvmType type,
                           std::vector<std::u16string> preferred = {}) {
    RuntimeRequest p;
    p.searchBothKinds = searchBothKinds;
    p.jvmType = type;
    for (const std::u16string& entry : preferred)
        p.preferredVersions.add(test::wide(entry));
    return p;
}

// The order must be the one that repeated passes of adjacent swaps give, where neighbours
// are swapped only when the later one is strictly ahead: preferred first (only when both kinds
// are searched), then a server VM (only for favor_server), then the higher version. Checked
// against exactly that over many lists full of ties, for every combination of settings.
TEST(CandidateOrder, EqualsRepeatedAdjacentSwaps) {
    auto strictlyAhead = [](const RuntimeRequest& p, const JreCandidate& a, const JreCandidate& b) {
        if (p.searchBothKinds && a.isPreferred != b.isPreferred)
            return a.isPreferred;
        if (p.jvmType == JvmType::FavorServer && a.isServerVm != b.isServerVm)
            return a.isServerVm;
        return a.version.compare(b.version) > 0;
    };
    const char* versions[] = {"1.5", "1.6", "1.6.0", "1.6.0_7", "1.6.0_20", "1.7", "1.10"};
    const JvmType types[] = {JvmType::Default, JvmType::Server, JvmType::FavorServer};
    std::mt19937 random(20240601);
    for (int round = 0; round < 500; ++round) {
        const RuntimeRequest prefs = preferences(random() % 2 == 0, types[random() % 3]);
        std::vector<Found> found;
        const size_t count = 1 + random() % 40; // long lists too: short ones sort stably anyway
        for (size_t i = 0; i < count; ++i)
            found.push_back({versions[random() % 7], random() % 2 == 0, random() % 2 == 0});
        std::vector<JreCandidate> expected = candidatesOf(found);
        for (bool swapped = true; swapped;) {
            swapped = false;
            for (size_t i = 0; i + 1 < expected.size(); ++i)
                if (strictlyAhead(prefs, expected[i + 1], expected[i])) {
                    std::swap(expected[i], expected[i + 1]);
                    swapped = true;
                }
        }
        std::vector<JreCandidate> sorted = candidatesOf(found);
        JreSearch(prefs).sortCandidates(sorted);
        ASSERT_EQ(order(sorted), order(expected)) << "round " << round;
    }
}

TEST(CandidateOrder, PreferredVersionsChooseInEntryOrder) {
    const std::vector<Found> found = {{"1.7.0_10", true, false},
                                      {"1.6.0_20", true, false},
                                      {"1.6.0_7", true, false},
                                      {"1.5.0_22", true, false}};
    const struct {
        const char* name;
        std::vector<std::u16string> preferred;
        char expected;
    } cases[] = {
        {"first entry that matches wins", {u"1.5", u"1.6"}, '3'},
        {"entry without match: first sorted", {u"1.4"}, '0'},
        {"later entry matches, first candidate of its family", {u"1.4", u"1.6"}, '1'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const JreSearch search(preferences(true, JvmType::Default, c.preferred));
        std::vector<JreCandidate> list = candidatesOf(found);
        search.sortCandidates(list);
        EXPECT_EQ(search.selectCandidate(list).homeFolder[4], c.expected);
    }
}

// Folder layouts by the flavours present: s(erver) c(lient) l (classic) h(otspot) j(rockit).
JvmFlavour flavourOf(char c) {
    return static_cast<JvmFlavour>(std::string("sclhj").find(c)); // the enum's order
}

std::u16string subpathOf(char flavour) {
    return u16(platform::jvmLibrarySubpaths(flavourOf(flavour))[0]);
}

TEST(JvmLibrary, ProbeOrderFollowsTheJvmType) {
    const struct {
        const char* layout;
        JvmType type;
        char expected; // 0: nothing found
    } cases[] = {
        {"c", JvmType::Server, 0},         {"cs", JvmType::Default, 'c'},
        {"cs", JvmType::FavorServer, 's'}, {"cs", JvmType::Server, 's'},
        {"j", JvmType::Default, 'j'},      {"sj", JvmType::Default, 's'},
        {"hl", JvmType::Default, 'l'},     {"hj", JvmType::FavorServer, 'h'},
        {"schlj", JvmType::Default, 'c'},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout + std::to_string(static_cast<int>(c.type)));
        test::TempFolder folder;
        for (const char* f = c.layout; *f; ++f)
            folder.write(fs::path(subpathOf(*f)).string(), "library");
        const std::u16string root = u16(test::wide(folder.path())) + platform::kPathSeparator;
        const JvmLibraryChoice choice = resolveJvmLibrary(test::wide(root), c.type);
        EXPECT_EQ(u16(choice.path), c.expected ? root + subpathOf(c.expected) : u"");
        EXPECT_EQ(choice.isServerVm, c.expected == 's');
    }
}

void put32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<unsigned char>(v >> (8 * i));
}

// A DOS header naming NT headers at `ntOffset`: signature, then the 20-byte file header.
Bytes peImage(uint16_t machine, uint32_t ntOffset = 0x80, size_t size = 0x200) {
    Bytes b(size, 0);
    b[0] = 'M';
    b[1] = 'Z';
    put32(b, 0x3C, ntOffset);
    if (uint64_t{ntOffset} + 24 <= size) {
        b[ntOffset] = 'P';
        b[ntOffset + 1] = 'E';
        put32(b, ntOffset + 4, machine); // and no sections
    }
    return b;
}

Bytes elf32Image() {
    Bytes b(64, 0);
    const unsigned char ident[] = {0x7F, 'E', 'L', 'F', 1, 1, 1};
    std::copy(std::begin(ident), std::end(ident), b.begin());
    return b;
}

Bytes patched(Bytes b, size_t at, unsigned char value) {
    b[at] = value;
    return b;
}

constexpr uint16_t kI386 = 0x014C;
constexpr uint16_t kAmd64 = 0x8664;

TEST(LibraryImage, PeHeadersAreCheckedAgainstTheImageSize) {
    const struct {
        const char* name;
        Bytes image;
        bool validPe;
        bool i386;
    } cases[] = {
        {"i386", peImage(kI386), true, true},
        {"amd64", peImage(kAmd64), true, false},
        {"headers end exactly at the end of the file", peImage(kI386, 0x80, 0x80 + 24), true, true},
        {"no MZ", patched(peImage(kI386), 0, 'Z'), false, false},
        {"PE\\0\\1 signature", patched(peImage(kI386), 0x80 + 3, 1), false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(isValidPe(c.image.data(), c.image.size()), c.validPe);
        EXPECT_EQ(isI386(c.image.data(), c.image.size()), c.i386);
    }
}

// The chosen library is read through a file mapping in this system's own library format;
// its architecture counts only when a paired program could take over.
TEST(LibraryImage, ArchitectureOfTheConfiguredRuntime) {
    const bool pe = platform::kLibraryImageFormat == platform::LibraryImageFormat::Pe;
    auto text = [](const Bytes& b) { return std::string(b.begin(), b.end()); };
    const std::string native32 = text(pe ? peImage(kI386) : elf32Image());
    const std::string foreign32 = text(pe ? elf32Image() : peImage(kI386));
    const std::string library =
        std::filesystem::path(u16(platform::jvmLibrarySubpaths(platform::JvmFlavour::Server)[0]))
            .string();

    const struct {
        const char* name;
        bool paired;
        std::string content;
        bool expected;
    } cases[] = {
        {"32-bit with a paired program", true, native32, true},
        {"32-bit without a paired program", false, native32, false},
        {"32-bit of the other system's format", true, foreign32, false},
        {"empty file", true, "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempFolder folder;
        RuntimeRequest request;
        request.jrePath = test::wide(folder.path());
        request.pairedProgramAvailable = c.paired;
        const WideString written = test::wide(folder.write(library, c.content));
        const std::optional<RuntimeChoice> choice = findRuntime(request, test::wide(folder.path()));
        ASSERT_TRUE(choice.has_value());
        EXPECT_EQ(u16(choice->jvmLibraryPath), u16(written));
        EXPECT_EQ(choice->is32Bit, c.expected);
    }
    test::TempFolder empty;
    EXPECT_FALSE(isJvmLibrary32Bit(test::wide(empty.path() / "absent")));
}

// Each runtime folder appears once, under the vendor key its release file and layout give,
// with the version subkey an installer would write and its home folder; aliases, folders
// without a runtime and plain files are left out.
TEST(UnregisteredRuntimes, DescribedAsTheInstallersVendorKeys) {
    if (test::onWindows())
        GTEST_SKIP() << "the runtime folders stand in for the registry on Linux only";
    const test::TempFolder root, outside;
    const auto runtime = [&](const std::string& name, const std::string& release,
                             const std::string& marker = "lib/libjava.so") {
        root.write(name + "/" + marker, "");
        if (!release.empty())
            root.write(name + "/release", release);
    };
    runtime("java-17-openjdk-amd64", "IMPLEMENTOR=\"Debian\"\nJAVA_VERSION=\"17.0.15\"\n");
    fs::create_directory_symlink("java-17-openjdk-amd64",
                                 root.path() / "java-1.17.0-openjdk-amd64");
    runtime("temurin-17-jdk", "JAVA_VERSION=\"17.0.15\"\r\nIMPLEMENTOR=\"Eclipse Adoptium\"\r\n");
    runtime("jdk1.8.0_202", "", "jre/lib/amd64/libjava.so");
    runtime("java-1.8.0-openjdk-amd64", "JAVA_VERSION=\"\"\n", "lib/amd64/libjava.so");
    runtime("ibm-java-x86_64-80", "IMPLEMENTOR=\"IBM Corporation\"\nJAVA_VERSION=\"1.8.0_321\"\n",
            "jre/lib/amd64/libjava.so");
    runtime("jrockit-jdk1.6.0_45", "IMPLEMENTOR=\"BEA Systems, Inc.\"\n");
    runtime("jrockit-jdk1.5.0_99", "IMPLEMENTOR=\"Oracle JRockit\"\n", "jre/lib/amd64/libjava.so");
    root.write("openjdk-17/src.zip", "not a runtime");
    root.write("notes.txt", "not a folder");
    // A FIFO in place of a release file is never opened: the version comes from the name.
    root.write("jdk-11.0.2/lib/libjava.so", "");
#ifndef _WIN32 // this case only runs on Linux
    EXPECT_EQ(mkfifo((root.path() / "jdk-11.0.2/release").c_str(), 0600), 0);
#endif
    outside.write("jdk-21/lib/libjava.so", "");
    outside.write("jdk-21/release", "JAVA_VERSION=\"21.0.1\"\n");
    fs::create_directory_symlink(outside.path() / "jdk-21", root.path() / "jdk-21-link");
    const test::ScopedEnvironmentVariable rootVariable(u"NOVIQ_JVM_ROOT", test::wide(root.path()));
    const auto home = [&](const std::string& name) { return u16(test::wide(root.path() / name)); };

    using K = VendorKeyId;
    const struct {
        K key;
        std::u16string subkey;
        std::u16string home;
    } expected[] = {
        {K::JRockitJdk, u"1.5.0.99 jrockit-jdk1.5.0_99", home("jrockit-jdk1.5.0_99")},
        {K::JRockitJre, u"1.6.0.45 jrockit-jdk1.6.0_45", home("jrockit-jdk1.6.0_45")},
        {K::JavaSoftJre, u"1.8.0.0 java-1.8.0-openjdk-amd64", home("java-1.8.0-openjdk-amd64")},
        // The JDK key names the JDK; the search itself goes on into its jre folder.
        {K::JavaSoftJdk, u"1.8.0.202 jdk1.8.0_202", home("jdk1.8.0_202")},
        {K::IbmJre, u"1.8.0.321 ibm-java-x86_64-80", home("ibm-java-x86_64-80/jre")},
        {K::JavaSoftJre, u"11.0.2.0 jdk-11.0.2", home("jdk-11.0.2")},
        {K::JavaSoftJre, u"17.0.15.0 java-17-openjdk-amd64", home("java-17-openjdk-amd64")},
        {K::JavaSoftJre, u"17.0.15.0 temurin-17-jdk", home("temurin-17-jdk")},
        {K::JavaSoftJre, u"21.0.1.0 jdk-21-link", home("jdk-21-link")},
    };
    const std::vector<UnregisteredRuntime> found = describeUnregisteredRuntimes();
    ASSERT_EQ(found.size(), std::size(expected));
    for (size_t i = 0; i < found.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(found[i].key, expected[i].key);
        EXPECT_EQ(u16(found[i].subkeyName), expected[i].subkey);
        EXPECT_EQ(u16(found[i].javaHome), expected[i].home);
    }
}

} // namespace
} // namespace noviq
