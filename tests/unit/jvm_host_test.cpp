// Launcher text handed to a real JVM created in this test program, and the capture of an
// exception's trace. Needs the system JDK's libjvm.so: skipped on Windows and in sanitizer
// builds (the JVM's own SIGSEGV handling and the sanitizer's cannot share a process).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jvm/java_exception.h"
#include "jvm/jvm_host.h"
#include "jvm/jvm_session.h"
#include "platform/library.h"
#include "platform/path_style.h"
#include "test_support.h"

namespace noviq {
namespace {

using test::u16;
using test::wide;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// One JVM for the whole program, on the main thread (where GoogleTest runs every test).
JNIEnv* testJvm() {
    static JNIEnv* const env = []() -> JNIEnv* {
        if (kSanitized || platform::kPathSeparator != u'/')
            return nullptr;
        const auto library = platform::loadLibraryForever(
            u"/usr/lib/jvm/java-17-openjdk-amd64/lib/server/libjvm.so");
        if (!library)
            return nullptr;
        const auto symbol = platform::findLibrarySymbol(*library, "JNI_CreateJavaVM");
        if (!symbol)
            return nullptr;
        auto create = reinterpret_cast<CreateJavaVmFunction>(*symbol);
        JavaVMOption options[] = {{const_cast<char*>("-Xrs"), nullptr},
                                  {const_cast<char*>("-Dfile.encoding=UTF-8"), nullptr}};
        JavaVMInitArgs args{};
        args.version = JNI_VERSION_1_2;
        args.nOptions = 2;
        args.options = options;
        JavaVM* vm = nullptr;
        void* created = nullptr;
        return create(&vm, &created, &args) == JNI_OK ? static_cast<JNIEnv*>(created) : nullptr;
    }();
    return env;
}

class JvmHost : public testing::Test {
protected:
    void SetUp() override {
        env = testJvm();
        if (!env)
            GTEST_SKIP() << "no JVM can be hosted in this test program";
    }
    std::u16string javaText(jstring text) {
        std::u16string units(static_cast<size_t>(env->GetStringLength(text)), u'\0');
        env->GetStringRegion(text, 0, static_cast<jsize>(units.size()),
                             reinterpret_cast<jchar*>(units.data()));
        return units;
    }
    JNIEnv* env = nullptr;
};

TEST_F(JvmHost, JavaStringsHoldTheExactCodeUnits) {
    const std::u16string texts[] = {
        u"",
        u"caf\u00E9 \u65E5\u672C \U0001F600",
        std::u16string(u"nul\0inside", 10),
        std::u16string{char16_t(0xDC00), u'x', char16_t(0xD800)}, // lone surrogates
        std::u16string(5000, u'\u00FF'),
    };
    for (const std::u16string& text : texts) {
        jstring java = newJavaString(env, wide(text));
        ASSERT_NE(java, nullptr);
        EXPECT_EQ(javaText(java), text);
        env->DeleteLocalRef(java);
    }
}

TEST_F(JvmHost, UncaughtExceptionIsCapturedAndStaysPending) {
    // Integer.parseInt fails inside Java, so the trace has frames.
    jclass integer = env->FindClass("java/lang/Integer");
    jmethodID parseInt = env->GetStaticMethodID(integer, "parseInt", "(Ljava/lang/String;)I");
    env->CallStaticIntMethod(integer, parseInt, newJavaString(env, u"x\u00E9\U0001F600"));
    jthrowable thrown = env->ExceptionOccurred();
    ASSERT_NE(thrown, nullptr);

    std::u16string presented;
    EXPECT_FALSE(reportUncaughtException(env, thrown, [&](const WideString& trace) {
        presented = u16(trace);
        return false;
    }));
    EXPECT_EQ(presented.rfind(u"java.lang.NumberFormatException", 0), 0u);
    jthrowable pending = env->ExceptionOccurred();
    ASSERT_NE(pending, nullptr);
    EXPECT_TRUE(env->IsSameObject(pending, thrown));
    env->ExceptionClear();

    const std::u16string trace = u16(captureStackTrace(env, thrown));
    EXPECT_EQ(trace.rfind(
                  u"java.lang.NumberFormatException: For input string: \"x\u00E9\U0001F600\"\n", 0),
              0u);
    EXPECT_NE(trace.find(u"\tat java.base/java.lang.Integer.parseInt("), std::u16string::npos);
    EXPECT_EQ(env->ExceptionOccurred(), nullptr);
}

} // namespace
} // namespace noviq
