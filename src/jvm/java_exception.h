// The step that runs when main ends with an exception and "Failure Check" is set: the stack
// trace as text, the decision to stop or continue, and the stop itself.
#pragma once

#include <cstdint>
#include <functional>
#include <jni.h>

#include "base/basic_string.h"

namespace noviq {

// Captures the exception's trace and hands it to `decide`, which returns true to stop the
// application. The exception is pending again on return.
bool reportUncaughtException(JNIEnv* env, jthrowable exception,
                             const std::function<bool(const WideString& trace)>& decide);

// What printStackTrace writes for the exception; empty when it cannot be had. Expects no
// exception to be pending.
WideString captureStackTrace(JNIEnv* env, jthrowable exception);

// System.exit(code); a JVM that honours it does not return.
void callSystemExit(JNIEnv* env, int32_t code);

// Java's modified UTF-8 (as GetStringUTFChars gives it) to UTF-16. Malformed bytes become
// U+FFFD.
WideString decodeModifiedUtf8(const char* text);

} // namespace noviq
