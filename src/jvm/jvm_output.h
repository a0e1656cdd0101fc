// The JVM's own messages, which it prints through the launcher's vfprintf hook: passed on
// unchanged to the stream the JVM meant, and read line by line for the reason a creation
// failed.
#pragma once

#include <cstdarg>
#include <jni.h>

#include "base/basic_string.h"

namespace noviq {

// The hook the JVM takes as its "vfprintf" option.
jint JNICALL jvmPrintHook(FILE* stream, const char* format, va_list arguments);

// From now on, lines of the JVM's output that start with `prefix` (after any spaces) are left
// out (one prefix;
// null for none). The text must stay valid while it is set.
void dropJvmOutputLines(const char* prefix);

// While the JVM is being created, the hook keeps the first line that says what went wrong;
// `endJvmCreation` stops that and returns the line (empty when the JVM printed none).
void beginJvmCreation();
WideString endJvmCreation();
bool isJvmBeingCreated();

// Keeps lines of the JVM's output, fragments assembled, and returns the first that names a
// failure: not empty and not the JVM's general heading for failures during its start.
class JvmReasonLines {
public:
    void add(const char* text, int32_t length);
    // The line so far counts too: a reason may be the JVM's last words, without a line end.
    NarrowString reason() const;

private:
    void offer(const NarrowString& line);

    NarrowString partial_;
    NarrowString reason_;
};

} // namespace noviq
