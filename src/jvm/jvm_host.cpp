// The JNI host: the Java main thread, JVM creation with the exit and abort hooks, stream
// redirection, the call of main, and Java strings made from launcher text.
#include "jvm/jvm_host.h"

#include <vector>

#include "common/messages.h"
#include "common/path_utils.h"
#include "jvm/java_exception.h"
#include "launcher/launcher.h"
#include "platform/threads.h"

namespace noviq {

static_assert(sizeof(jint) == 4, "JNI's jint is 32 bits");
static_assert(sizeof(jlong) == 8, "JNI's jlong is 64 bits");
static_assert(sizeof(jchar) == sizeof(char16_t), "Java strings are UTF-16 code units");

namespace {

// The JVM calls these without a context; they find the launcher through currentLauncher.
void JNICALL exitHook(jint code) {
    if (currentLauncher && currentLauncher->hookTarget)
        currentLauncher->hookTarget->onExit(code);
}

void JNICALL abortHook() {
    if (currentLauncher && currentLauncher->hookTarget)
        currentLauncher->hookTarget->onAbort();
}

uint32_t javaMainThreadEntry(void* launcher) {
    return static_cast<Launcher*>(launcher)->javaMainThreadBody();
}

void describePendingException(JNIEnv* env) {
    if (env->ExceptionOccurred())
        env->ExceptionDescribe();
}

} // namespace

WideString createFailureReason(jint result) {
    switch (result) {
    case JNI_ERR:
        return LoadMessage(MessageId::ReasonUnknown);
    case JNI_EDETACHED:
        return LoadMessage(MessageId::ReasonDetached);
    case JNI_EVERSION:
        return LoadMessage(MessageId::ReasonVersion);
    case JNI_ENOMEM:
        return LoadMessage(MessageId::ReasonNoMemory);
    case JNI_EEXIST:
        return LoadMessage(MessageId::ReasonExists);
    case JNI_EINVAL:
        return LoadMessage(MessageId::ReasonInvalid);
    default:
        return WideString();
    }
}

jstring newJavaString(JNIEnv* env, const WideString& text) {
    jclass stringClass = env->FindClass("java/lang/String");
    if (!stringClass)
        return nullptr;
    jmethodID fromChars = env->GetMethodID(stringClass, "<init>", "([C)V");
    if (!fromChars)
        return nullptr;
    jcharArray chars = env->NewCharArray(text.length());
    if (!chars)
        return nullptr;
    env->SetCharArrayRegion(chars, 0, text.length(), reinterpret_cast<const jchar*>(text.c_str()));
    jstring result = nullptr;
    if (!env->ExceptionOccurred())
        result = static_cast<jstring>(env->NewObject(stringClass, fromChars, chars));
    env->DeleteLocalRef(chars);
    return result;
}

jobjectArray newJavaStringArray(JNIEnv* env, const StringList& list) {
    jclass stringClass = env->FindClass("java/lang/String");
    if (!stringClass)
        return nullptr;
    jobjectArray array = env->NewObjectArray(list.count(), stringClass, nullptr);
    if (!array)
        return nullptr;
    for (int32_t i = 0; i < list.count(); ++i) {
        jstring element = newJavaString(env, list[i]);
        if (!element)
            return nullptr;
        env->SetObjectArrayElement(array, i, element);
        env->DeleteLocalRef(element);
    }
    return array;
}

bool redirectStream(JNIEnv* env, const WideString& path, const char* setterName) {
    createParentFolders(path);
    jstring fileName = newJavaString(env, path);
    if (!fileName)
        return false;
    // FileOutputStream(String) creates the file, or empties it when it exists.
    jobject fileStream =
        newJavaObject(env, "java/io/FileOutputStream", "(Ljava/lang/String;)V", fileName);
    if (!fileStream)
        return false;
    jobject printStream =
        newJavaObject(env, "java/io/PrintStream", "(Ljava/io/OutputStream;)V", fileStream);
    if (!printStream)
        return false;
    jclass systemClass = env->FindClass("java/lang/System");
    if (!systemClass)
        return false;
    jmethodID setter = env->GetStaticMethodID(systemClass, setterName, "(Ljava/io/PrintStream;)V");
    if (!setter)
        return false;
    env->CallStaticVoidMethod(systemClass, setter, printStream);
    if (env->ExceptionOccurred()) {
        env->ExceptionDescribe();
        return false;
    }
    return true;
}

uint32_t Launcher::runJavaMainThread() {
    uint64_t stackSize = javaThreadStackSize;
    if (stackSize == 0) {
        // The JNI 1.1 form of the query is the one that reports the Java stack size.
        Jni11InitArgs defaults{};
        defaults.version = JNI_VERSION_1_1;
        getDefaultInitArgs(&defaults);
        stackSize = defaults.javaStackSize > 0 ? static_cast<uint64_t>(defaults.javaStackSize) : 0;
    }
    uint32_t exitCode = 0;
    if (platform::runOnNewThread(javaMainThreadEntry, this, stackSize, exitCode))
        return exitCode;
    return javaMainThreadBody();
}

uint32_t Launcher::javaMainThreadBody() {
    if (!createJvm())
        return 1;
    return callMainClass() ? 0 : 1;
}

bool Launcher::createJvm() {
    std::vector<JavaVMOption> options;
    for (const NarrowString& option : jvmOptions)
        options.push_back({const_cast<char*>(option.c_str()), nullptr});
    options.push_back({const_cast<char*>("abort"), reinterpret_cast<void*>(&abortHook)});
    options.push_back({const_cast<char*>("exit"), reinterpret_cast<void*>(&exitHook)});

    JavaVMInitArgs args{};
    args.version = JNI_VERSION_1_2;
    args.nOptions = static_cast<jint>(options.size());
    args.options = options.data();
    args.ignoreUnrecognized = JNI_FALSE; // an option the JVM does not know is an error

    void* env = nullptr;
    const jint result = createJavaVm(&javaVm, &env, &args);
    if (result != JNI_OK) {
        javaVm = nullptr; // nothing for shutdown() to destroy
        ReportError(LoadMessage(MessageId::JniException), LoadMessage(MessageId::CreateJvmFailed),
                    createFailureReason(result));
        return false;
    }
    jniEnv = static_cast<JNIEnv*>(env);

    // A stream that cannot be redirected stays the JVM's own; the run goes on.
    if (!outputFile.isEmpty() && !redirectStream(jniEnv, outputFile, "setOut"))
        describePendingException(jniEnv);
    if (!errorFile.isEmpty() && !redirectStream(jniEnv, errorFile, "setErr"))
        describePendingException(jniEnv);
    return true;
}

bool Launcher::callMainClass() {
    JNIEnv* env = jniEnv;
    // A thread that ends while attached counts as a live non-daemon thread, and
    // DestroyJavaVM would wait for it for ever: every way out detaches.
    auto notCalled = [this] {
        javaVm->DetachCurrentThread();
        return false;
    };
    jstring className = newJavaString(env, mainClass);
    if (!className) {
        ReportError(LoadMessage(MessageId::MainClassLoadFailed), mainClass);
        return notCalled();
    }
    const char* modifiedUtf8 = env->GetStringUTFChars(className, nullptr);
    if (!modifiedUtf8) {
        env->ExceptionDescribe();
        return notCalled();
    }
    jclass mainType = env->FindClass(modifiedUtf8);
    env->ReleaseStringUTFChars(className, modifiedUtf8);
    if (!mainType) {
        env->ExceptionDescribe();
        ReportError(LoadMessage(MessageId::MainClassNotFound), mainClass);
        return notCalled();
    }
    jmethodID mainMethod = env->GetStaticMethodID(mainType, "main", "([Ljava/lang/String;)V");
    if (!mainMethod) {
        if (env->ExceptionOccurred())
            env->ExceptionDescribe();
        else
            ReportMessage(MessageId::MainMethodMissing);
        return notCalled();
    }
    jobjectArray javaArguments = newJavaStringArray(env, arguments);
    if (!javaArguments) {
        env->ExceptionDescribe();
        return notCalled();
    }

    env->CallStaticVoidMethod(mainType, mainMethod, javaArguments);

    jthrowable uncaught = env->ExceptionOccurred();
    if (uncaught && failureCheck && reportUncaughtException(env, uncaught) == kStopApplication) {
        env->ExceptionClear(); // System.exit cannot be called with the exception pending
        callSystemExit(env, -1);
    }

    // Where an IBM runtime may run the application, its main thread stays attached and
    // never returns: the process ends only when Java ends it (System.exit, through the
    // exit hook) or from outside.
    if (ibmAllowed || ibmPreferred)
        platform::sleepForever();

    return javaVm->DetachCurrentThread() == JNI_OK;
}

} // namespace noviq
