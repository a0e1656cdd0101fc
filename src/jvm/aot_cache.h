// The JDK's ahead-of-time cache (Java 24 and later) for "Class Data Sharing=auto": a start
// without a cache records the application's configuration as the JVM ends; a background
// start of the launcher itself then turns it into the cache (the JVM's create step ends its
// process from inside JNI_CreateJavaVM, so it cannot run in the start that recorded); later
// starts map the cache. The JVM does not check the class path's jars against a cache, so
// the record beside it holds each entry's size and time, and a cache whose record no longer
// matches is not used.
#pragma once

#include <cstdint>
#include <optional>

#include "base/basic_string.h"
#include "base/string_list.h"

namespace noviq {

// The first runtime with the cache's two-step form.
constexpr int32_t kFirstAotCacheVersion = 24;

// The environment variables that start the launcher as the creator of one cache (which
// completes it) and as the host of the JVM that writes it; their value names the job file.
extern const char16_t kAotJobVariable[];
extern const char16_t kAotCreateVariable[];

// What the creating process needs, written by the recording start into the cache folder.
struct AotCacheJob {
    WideString jvmLibrary;
    WideString configuration; // the recorded configuration
    WideString cache;         // the cache's final name
    WideString record;        // its record, written once it is complete
    StringList classPath;     // whose files the record describes
    NarrowStringList options; // the recording start's JVM options (class path included)
};

// The record of a cache: its own size and time, then each class path entry's size, time
// and name. Nothing when a file cannot be read.
std::optional<NarrowString> aotCacheRecord(const WideString& cache, const StringList& classPath);

NarrowString jobText(const AotCacheJob& job);
// Nothing for text that is not a whole job.
std::optional<AotCacheJob> parseJob(const NarrowString& text);

// Whether a file the JVM wrote starts with the header it writes last: the configuration's
// or the cache's.
bool isCompleteAotConfiguration(const WideString& path);
bool isCompleteAotCache(const WideString& path);

// The creating process: takes the job (only from `folder`, and only if it is private
// there); with `hostJvm` hosts the runtime's JVM in create mode, otherwise starts the
// launcher that does, waits for it and completes the cache. Its exit code.
int32_t createAotCache(const WideString& jobPath, const WideString& cacheRoot,
                       const WideString& folder, bool elevated, bool hostJvm);

} // namespace noviq
