// The trace of an exception that ended main, through printStackTrace into a byte buffer.
#include "jvm/java_exception.h"

#include "jvm/jvm_host.h"

namespace noviq {

bool reportUncaughtException(JNIEnv* env, jthrowable exception,
                             const std::function<bool(const WideString& trace)>& decide) {
    // JNI calls are not defined while an exception is pending: set it aside, and raise it
    // again so that the thread still ends with it (the JVM then reports it as uncaught).
    env->ExceptionClear();
    const bool stop = decide(captureStackTrace(env, exception));
    env->Throw(exception);
    return stop;
}

WideString captureStackTrace(JNIEnv* env, jthrowable exception) {
    jobject buffer = newJavaObject(env, "java/io/ByteArrayOutputStream", "()V");
    if (!buffer)
        return WideString();
    jobject printStream =
        newJavaObject(env, "java/io/PrintStream", "(Ljava/io/OutputStream;)V", buffer);
    if (!printStream)
        return WideString();

    jclass exceptionClass = env->GetObjectClass(exception);
    if (!exceptionClass)
        return WideString();
    jmethodID printStackTrace =
        env->GetMethodID(exceptionClass, "printStackTrace", "(Ljava/io/PrintStream;)V");
    if (!printStackTrace)
        return WideString();
    env->CallVoidMethod(exception, printStackTrace, printStream);
    if (env->ExceptionOccurred())
        env->ExceptionDescribe();

    jclass bufferType = env->GetObjectClass(buffer);
    if (!bufferType)
        return WideString();
    jmethodID toString = env->GetMethodID(bufferType, "toString", "()Ljava/lang/String;");
    if (!toString)
        return WideString();
    jstring text = static_cast<jstring>(env->CallObjectMethod(buffer, toString));
    if (env->ExceptionOccurred())
        env->ExceptionDescribe();
    if (!text)
        return WideString();
    const char* modifiedUtf8 = env->GetStringUTFChars(text, nullptr);
    if (!modifiedUtf8)
        return WideString();
    WideString trace = decodeModifiedUtf8(modifiedUtf8);
    env->ReleaseStringUTFChars(text, modifiedUtf8);
    return trace;
}

void callSystemExit(JNIEnv* env, int32_t code) {
    jclass systemClass = env->FindClass("java/lang/System");
    if (!systemClass)
        return;
    jmethodID exitMethod = env->GetStaticMethodID(systemClass, "exit", "(I)V");
    if (!exitMethod)
        return;
    env->CallStaticVoidMethod(systemClass, exitMethod, static_cast<jint>(code));
    if (env->ExceptionOccurred())
        env->ExceptionDescribe();
}

WideString decodeModifiedUtf8(const char* text) {
    WideString result;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    auto continuation = [&](int32_t i) { return (bytes[i] & 0xC0) == 0x80; };
    for (int32_t i = 0; bytes[i] != 0;) {
        const unsigned char lead = bytes[i];
        if (lead < 0x80) {
            result += static_cast<char16_t>(lead);
            i += 1;
        } else if ((lead & 0xE0) == 0xC0 && continuation(i + 1)) {
            result += static_cast<char16_t>(((lead & 0x1F) << 6) | (bytes[i + 1] & 0x3F));
            i += 2;
        } else if ((lead & 0xF0) == 0xE0 && continuation(i + 1) && continuation(i + 2)) {
            // Surrogates arrive one by one, each as its own three bytes; they pass as they are.
            result += static_cast<char16_t>(((lead & 0x0F) << 12) | ((bytes[i + 1] & 0x3F) << 6) |
                                            (bytes[i + 2] & 0x3F));
            i += 3;
        } else {
            result += u'\uFFFD';
            i += 1;
        }
    }
    return result;
}

} // namespace noviq
