// Java strings and arrays made from launcher text, stream redirection, and the reason texts
// of a failed JVM creation.
#include "jvm/jvm_host.h"

#include "common/messages.h"
#include "common/path_utils.h"
#include "platform/opened_files.h"

namespace noviq {

static_assert(sizeof(jint) == 4, "JNI's jint is 32 bits");
static_assert(sizeof(jlong) == 8, "JNI's jlong is 64 bits");
static_assert(sizeof(jchar) == sizeof(char16_t), "Java strings are UTF-16 code units");

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

namespace {

// A FileOutputStream over a file the launcher opened: java.io.FileDescriptor's field takes
// the descriptor (JNI may set a private field), and the stream owns it from then on.
jobject streamOverOpenedFile(JNIEnv* env, const WideString& path) {
    WideString refused;
    const std::optional<int64_t> opened = platform::openStreamFile(path, refused);
    if (!opened) {
        ReportError(LoadMessage(MessageId::StreamFileRefused), path, refused);
        return nullptr;
    }
    jobject descriptor = newJavaObject(env, "java/io/FileDescriptor", "()V");
    jclass descriptorClass = descriptor ? env->GetObjectClass(descriptor) : nullptr;
    jfieldID field = descriptorClass
                         ? env->GetFieldID(descriptorClass, platform::kFileDescriptorField,
                                           platform::kFileDescriptorFieldType)
                         : nullptr;
    if (!field)
        return nullptr;
    if (platform::kFileDescriptorFieldType[0] == 'J')
        env->SetLongField(descriptor, field, static_cast<jlong>(*opened));
    else
        env->SetIntField(descriptor, field, static_cast<jint>(*opened));
    return newJavaObject(env, "java/io/FileOutputStream", "(Ljava/io/FileDescriptor;)V",
                         descriptor);
}

} // namespace

jobject openPrintStream(JNIEnv* env, const WideString& path, bool openedHere) {
    createParentFolders(path);
    jobject fileStream = nullptr;
    if (openedHere) {
        fileStream = streamOverOpenedFile(env, path);
    } else {
        jstring fileName = newJavaString(env, path);
        if (!fileName)
            return nullptr;
        // FileOutputStream(String) creates the file, or empties it when it exists.
        fileStream =
            newJavaObject(env, "java/io/FileOutputStream", "(Ljava/lang/String;)V", fileName);
    }
    if (!fileStream)
        return nullptr;
    return newJavaObject(env, "java/io/PrintStream", "(Ljava/io/OutputStream;)V", fileStream);
}

bool setSystemStream(JNIEnv* env, const char* setterName, jobject printStream) {
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

} // namespace noviq
