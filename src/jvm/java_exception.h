// The step that runs when main ends with an exception and "Failure Check" is set: the stack
// trace as text, the decision to stop or continue, and the stop itself.
#pragma once

#include <cstdint>
#include <jni.h>

#include "common/basic_string.h"

namespace noviq {

// The decision that stops the application; any other value lets it go on.
inline constexpr int32_t kStopApplication = 1;

// Captures the exception's trace and decides. The exception is pending again on return.
int32_t reportUncaughtException(JNIEnv* env, jthrowable exception);

// What printStackTrace writes for the exception; empty when it cannot be had. Expects no
// exception to be pending.
WideString captureStackTrace(JNIEnv* env, jthrowable exception);

// System.exit(code); a JVM that honours it does not return.
void callSystemExit(JNIEnv* env, int32_t code);

// Java's modified UTF-8 (as GetStringUTFChars gives it) to UTF-16. Malformed bytes become
// U+FFFD.
WideString decodeModifiedUtf8(const char* text);

} // namespace noviq
