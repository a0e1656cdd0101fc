// Handing launcher text to Java, and the Java side of the launcher's streams.
#pragma once

#include <jni.h>

#include "base/basic_string.h"
#include "base/string_list.h"

namespace noviq {

// A java.lang.String with exactly the UTF-16 code units of text; null when it cannot be
// made (a Java exception may then be pending).
jstring newJavaString(JNIEnv* env, const WideString& text);

// A new object of the named class through its constructor of this signature; null when the
// class, the constructor or the construction fails (a Java exception may then be pending).
template <class... Args>
jobject newJavaObject(JNIEnv* env, const char* className, const char* signature, Args... args) {
    jclass type = env->FindClass(className);
    if (!type)
        return nullptr;
    jmethodID constructor = env->GetMethodID(type, "<init>", signature);
    if (!constructor)
        return nullptr;
    return env->NewObject(type, constructor, args...);
}

// A String[] with one element per entry, in order; an empty list gives an empty array.
jobjectArray newJavaStringArray(JNIEnv* env, const StringList& list);

// A java.io.PrintStream writing to the file at path (folders created, file emptied); null
// when any step fails (a Java exception may then be pending).
// With `openedHere` the launcher opens the file itself, never through a link in its last
// component, and the stream takes over the opened file; one refused is reported (nothing is
// pending then).
jobject openPrintStream(JNIEnv* env, const WideString& path, bool openedHere);

// Makes the stream Java's standard output (setterName "setOut") or standard error
// ("setErr"). False when the call fails.
bool setSystemStream(JNIEnv* env, const char* setterName, jobject printStream);

// The reason text for a failed JNI_CreateJavaVM result; empty for a value JNI does not name.
WideString createFailureReason(jint result);

// The record JNI_GetDefaultJavaVMInitArgs fills for version 0x00010001 (JNI 1.1). Current
// jni.h headers no longer declare it; runtimes still answer javaStackSize through it.
struct Jni11InitArgs {
    jint version;
    char** properties;
    jint checkSource;
    jint nativeStackSize;
    jint javaStackSize;
    jint minHeapSize;
    jint maxHeapSize;
    jint verifyMode;
    char* classpath;
    void* vfprintfHook;
    void* exitHook;
    void* abortHook;
    jint enableClassGC;
    jint enableVerboseGC;
    jint disableAsyncGC;
    jint verbose;
    jboolean debugging;
    jint debugPort;
};

} // namespace noviq
