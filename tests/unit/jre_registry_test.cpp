// The Linux build's registry: runtime folders under $NOVIQ_JVM_ROOT presented as the vendor
// keys and version subkeys the Windows installers write.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/environment.h"
#include "platform/path_style.h"
#include "platform/registry.h"
#include "test_support.h"

namespace noviq {
namespace {

namespace fs = std::filesystem;
using platform::RegistryKey;
using platform::RegistryView;

const std::u16string kJavaSoftJdk = u"Software\\JavaSoft\\Java Development Kit\\";
const std::u16string kJavaSoftJre = u"Software\\JavaSoft\\Java Runtime Environment\\";
const std::u16string kJRockitJre = u"Software\\JRockit\\Java Runtime Environment\\";
const std::u16string kJRockitJdk = u"Software\\JRockit\\Java Development Kit\\";
const std::u16string kIbmJre = u"Software\\IBM\\Java2 Runtime Environment\\";

std::vector<std::u16string> subkeysOf(const std::u16string& path) {
    std::vector<std::u16string> names;
    RegistryKey key;
    if (!key.open(RegistryView::Native, test::wide(path)))
        return {u"<cannot open>"};
    WideString name;
    for (uint32_t i = 0; key.subkeyName(i, name); ++i)
        names.push_back(test::u16(name));
    return names;
}

std::u16string javaHomeOf(const std::u16string& path) {
    RegistryKey key;
    WideString home;
    if (!key.open(RegistryView::Native, test::wide(path)) || !key.readText(u"JavaHome", home))
        return u"<none>";
    return test::u16(home);
}

class LinuxRegistry : public testing::Test {
protected:
    void SetUp() override {
        if (platform::kPathSeparator != u'/')
            GTEST_SKIP() << "the runtime folders stand in for the registry on Linux only";
        const auto runtime = [this](const std::string& name, const std::string& release,
                                    const std::string& marker = "lib/libjava.so") {
            root_.write(name + "/" + marker, "");
            if (!release.empty())
                root_.write(name + "/release", release);
        };
        runtime("java-17-openjdk-amd64", "IMPLEMENTOR=\"Debian\"\nJAVA_VERSION=\"17.0.15\"\n");
        fs::create_directory_symlink("java-17-openjdk-amd64",
                                     root_.path() / "java-1.17.0-openjdk-amd64");
        runtime("temurin-17-jdk",
                "JAVA_VERSION=\"17.0.15\"\r\nIMPLEMENTOR=\"Eclipse Adoptium\"\r\n");
        runtime("jdk1.8.0_202", "", "jre/lib/amd64/libjava.so");
        runtime("java-1.8.0-openjdk-amd64", "JAVA_VERSION=\"\"\n", "lib/amd64/libjava.so");
        runtime("ibm-java-x86_64-80",
                "IMPLEMENTOR=\"IBM Corporation\"\nJAVA_VERSION=\"1.8.0_321\"\n",
                "jre/lib/amd64/libjava.so");
        runtime("jrockit-jdk1.6.0_45", "IMPLEMENTOR=\"BEA Systems, Inc.\"\n");
        runtime("jrockit-jdk1.5.0_99", "IMPLEMENTOR=\"Oracle JRockit\"\n",
                "jre/lib/amd64/libjava.so");
        root_.write("openjdk-17/src.zip", "not a runtime");
        root_.write("notes.txt", "not a folder");
        outside_.write("jdk-21/lib/libjava.so", "");
        outside_.write("jdk-21/release", "JAVA_VERSION=\"21.0.1\"\n");
        fs::create_directory_symlink(outside_.path() / "jdk-21", root_.path() / "jdk-21-link");

        saved_ = platform::environmentVariable(u"NOVIQ_JVM_ROOT", 4096);
        platform::setEnvironmentVariable(u"NOVIQ_JVM_ROOT", test::wide(root_.path()));
    }
    void TearDown() override {
        if (platform::kPathSeparator == u'/')
            platform::setEnvironmentVariable(u"NOVIQ_JVM_ROOT", saved_ ? *saved_ : WideString());
    }

    std::u16string home(const std::string& name) const {
        return test::wide(root_.path() / name).c_str();
    }

    test::TempFolder root_, outside_;
    std::optional<WideString> saved_;
};

TEST_F(LinuxRegistry, EachRuntimeAppearsOnceUnderItsVendorKey) {
    const std::map<std::u16string, std::vector<std::u16string>> expected = {
        {kJavaSoftJdk, {u"1.8.0.202 jdk1.8.0_202"}},
        {kJavaSoftJre,
         {u"1.8.0.0 java-1.8.0-openjdk-amd64", u"17.0.15.0 java-17-openjdk-amd64",
          u"17.0.15.0 temurin-17-jdk", u"21.0.1.0 jdk-21-link"}},
        {kJRockitJre, {u"1.6.0.45 jrockit-jdk1.6.0_45"}},
        {kJRockitJdk, {u"1.5.0.99 jrockit-jdk1.5.0_99"}},
        {kIbmJre, {u"1.8.0.321 ibm-java-x86_64-80"}},
    };
    for (const auto& [path, names] : expected) {
        SCOPED_TRACE(std::string(path.begin(), path.end()));
        EXPECT_EQ(subkeysOf(path), names);
    }
}

TEST_F(LinuxRegistry, VersionSubkeysHoldTheRuntimeFolder) {
    const struct {
        std::u16string key;
        std::u16string expected;
    } cases[] = {
        {kJavaSoftJre + u"17.0.15.0 java-17-openjdk-amd64", home("java-17-openjdk-amd64")},
        {kJavaSoftJre + u"21.0.1.0 jdk-21-link", home("jdk-21-link")},
        {u"SOFTWARE\\javasoft\\java runtime environment\\17.0.15.0 temurin-17-jdk", // any case
         home("temurin-17-jdk")},
        // The JDK key names the JDK; the search itself goes on into its jre folder.
        {kJavaSoftJdk + u"1.8.0.202 jdk1.8.0_202", home("jdk1.8.0_202")},
        {kIbmJre + u"1.8.0.321 ibm-java-x86_64-80", home("ibm-java-x86_64-80/jre")},
        {kJavaSoftJre + u"17.0.14.0 java-17-openjdk-amd64", u"<none>"},
        {kJavaSoftJdk + u"17.0.15.0 java-17-openjdk-amd64", u"<none>"},
        {kJavaSoftJre + u"0.0.0.0 openjdk-17", u"<none>"},
        {kJavaSoftJre + u"17.0.15.0 no-such-folder", u"<none>"},
        {kJavaSoftJre + u"17.0.15.0", u"<none>"},
        {kJavaSoftJre, u"<none>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key.begin(), c.key.end()));
        EXPECT_EQ(javaHomeOf(c.key), c.expected);
    }
}

TEST_F(LinuxRegistry, OtherKeysAndTheThirtyTwoBitViewAreEmpty) {
    RegistryKey key;
    EXPECT_FALSE(key.open(RegistryView::Wow32, test::wide(kJavaSoftJre)));
    EXPECT_FALSE(key.open(RegistryView::Native, u"Software\\JavaSoft"));
    EXPECT_FALSE(key.open(RegistryView::Native, u"Software\\Other\\Java Runtime Environment"));
    ASSERT_TRUE(key.open(RegistryView::Native, test::wide(kJavaSoftJre)));
    RegistryKey moved(std::move(key));
    EXPECT_FALSE(key.isOpen());
    EXPECT_TRUE(moved.isOpen());
}

} // namespace
} // namespace noviq
