// Runtime folders under $NOVIQ_JVM_ROOT (the Linux build's installed runtimes) described as
// the vendor keys and version subkeys the Windows installers write.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "jre/runtime_search.h"
#include "platform/environment.h"
#include "platform/path_style.h"
#include "test_support.h"

namespace noviq {
namespace {

namespace fs = std::filesystem;

class UnregisteredRuntimes : public testing::Test {
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
        // A FIFO in place of a release file is never opened: the version comes from the name.
        root_.write("jdk-11.0.2/lib/libjava.so", "");
#ifndef _WIN32 // the fixture only runs on Linux
        EXPECT_EQ(mkfifo((root_.path() / "jdk-11.0.2/release").c_str(), 0600), 0);
#endif
        outside_.write("jdk-21/lib/libjava.so", "");
        outside_.write("jdk-21/release", "JAVA_VERSION=\"21.0.1\"\n");
        fs::create_directory_symlink(outside_.path() / "jdk-21", root_.path() / "jdk-21-link");

        root_variable_.emplace(u"NOVIQ_JVM_ROOT", test::wide(root_.path()));
    }

    std::u16string home(const std::string& name) const {
        return test::wide(root_.path() / name).c_str();
    }

    test::TempFolder root_, outside_;
    std::optional<test::ScopedEnvironmentVariable> root_variable_;
};

// Each runtime folder appears once, under the vendor key its release file and layout give,
// with the version subkey an installer would write and its home folder; aliases, folders
// without a runtime and plain files are left out.
TEST_F(UnregisteredRuntimes, DescribedAsTheInstallersVendorKeys) {
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
        EXPECT_EQ(test::u16(found[i].subkeyName), expected[i].subkey);
        EXPECT_EQ(test::u16(found[i].javaHome), expected[i].home);
    }
}

} // namespace
} // namespace noviq
