// Which JVM library a runtime folder yields for each JVM type, probed on real folders.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jre/jvm_library.h"
#include "platform/path_style.h"
#include "platform/runtime_layout.h"
#include "test_support.h"

namespace noviq {
namespace {

using platform::JvmFlavour;

// Folder layouts by the flavours present: s(erver) c(lient) l (classic) h(otspot) j(rockit).
JvmFlavour flavourOf(char c) {
    return static_cast<JvmFlavour>(std::string("sclhj").find(c)); // the enum's order
}

WideString asRoot(const test::TempFolder& folder) {
    WideString root = test::wide(folder.path());
    root += platform::kPathSeparator;
    return root;
}

std::u16string subpathOf(char flavour) {
    return test::u16(platform::jvmLibrarySubpaths(flavourOf(flavour))[0]);
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
        SCOPED_TRACE(std::string("layout '") + c.layout + "', type " +
                     std::to_string(static_cast<int>(c.type)));
        test::TempFolder folder;
        for (const char* f = c.layout; *f; ++f) {
            const std::u16string sub = subpathOf(*f);
            folder.write(std::filesystem::path(sub).string(), "library");
        }
        const WideString root = asRoot(folder);

        const JvmLibraryChoice choice = resolveJvmLibrary(root, c.type);

        if (c.expected == 0) {
            EXPECT_TRUE(choice.path.isEmpty()) << test::u16(choice.path).size();
            EXPECT_FALSE(choice.isServerVm);
        } else {
            EXPECT_EQ(test::u16(choice.path), test::u16(root) + subpathOf(c.expected));
            EXPECT_EQ(choice.isServerVm, c.expected == 's');
        }
    }
}

} // namespace
} // namespace noviq
