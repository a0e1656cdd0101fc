// The ahead-of-time cache's job file, its record, the completeness checks and the process
// that creates the cache.
#include "jvm/aot_cache.h"

#include "base/format.h"
#include "common/path_utils.h"
#include "common/text.h"
#include "common/trace.h"
#include "jvm/jvm_options.h"
#include "jvm/jvm_session.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/path_style.h"
#include "platform/process.h"
#include "platform/protected_folders.h"
#include "platform/runtime_folders.h"

namespace noviq {

const char16_t kAotJobVariable[] = u"NOVIQ_AOT_JOB";
const char16_t kAotCreateVariable[] = u"NOVIQ_AOT_CREATE";

namespace {

// The JVM writes each file's header after everything else: a file cut short lacks it.
constexpr unsigned char kConfigurationMagic[] = {0x7c, 0xa0, 0xfe, 0xca};
constexpr unsigned char kCacheMagic[] = {0xa2, 0xab, 0x0b, 0xf0};

constexpr int32_t kJobLimit = 1024 * 1024;
const char kJobHeading[] = "noviq ahead-of-time cache job 1";

bool startsWithMagic(const WideString& path, const unsigned char (&magic)[4]) {
    const NarrowString head = platform::readFileStart(path, 4);
    if (head.length() != 4)
        return false;
    for (int32_t i = 0; i < 4; ++i)
        if (static_cast<unsigned char>(head[i]) != magic[i])
            return false;
    return true;
}

NarrowString stampText(const platform::FileStamp& stamp) {
    return narrow(decimalUnsigned(stamp.size) + u" " + decimalUnsigned(stamp.modified));
}

// A file directly in `folder`: the job names no file anywhere else.
bool isDirectlyIn(const WideString& folder, const WideString& path) {
    if (!path.startsWith(folder) || path.length() == folder.length())
        return false;
    return path.Mid(folder.length()).Find(platform::kPathSeparator) < 0;
}

// One cache per application and runtime: once one is complete, those of earlier class paths
// go. Another start's configuration or job may still be in use and stays.
void removeOthers(const AotCacheJob& job) {
    const int32_t lastDash = job.cache.ReverseFind(u'-');
    const int32_t lastSeparator = job.cache.ReverseFind(platform::kPathSeparator);
    if (lastDash <= lastSeparator)
        return;
    const WideString folder = job.cache.Left(lastSeparator + 1);
    StringList others;
    platform::DirectorySearch files(job.cache.Left(lastDash + 1) + u"*");
    for (WideString file; files.next(file);) {
        const WideString path = folder + file;
        const WideString extension = path.Right(4);
        // Drafts (".job.done", ".job.draft") belong to creations still under way.
        if (path != job.cache && path != job.record && !(path.Right(9) == u".job.done") &&
            (extension == u".aot" || extension == u"done"))
            others.add(path);
    }
    for (const WideString& file : others)
        platform::removeFile(file);
}

// The cache the JVM writes, until it is complete.
WideString draftOf(const WideString& jobPath) {
    return jobPath + u".draft";
}

// The job, when it lies directly in `folder`, only this user (elevated: administrators)
// could have written it, and it names files in that folder only: whoever could write it
// would choose the code that goes into the cache.
std::optional<AotCacheJob> takeJob(const WideString& jobPath, const WideString& cacheRoot,
                                   const WideString& folder, bool elevated) {
    const platform::FolderWriters writers =
        elevated ? platform::FolderWriters::Administrators : platform::FolderWriters::ThisUser;
    if (cacheRoot.isEmpty() || !isDirectlyIn(folder, jobPath) || !(jobPath.Right(4) == u".job") ||
        platform::whyNotPrivate(cacheRoot, jobPath, writers)) {
        trace(u"ahead-of-time cache: the job %s is not taken", jobPath);
        return std::nullopt;
    }
    std::optional<AotCacheJob> job = parseJob(platform::readFileStart(jobPath, kJobLimit));
    if (!job || !isDirectlyIn(folder, job->configuration) || !isDirectlyIn(folder, job->cache) ||
        !isDirectlyIn(folder, job->record) || !isCompleteAotConfiguration(job->configuration)) {
        trace(u"ahead-of-time cache: the job %s is not whole", jobPath);
        return std::nullopt;
    }
    return job;
}

// The JVM in create mode, which writes the draft and then ends this process itself.
int32_t hostCreatingJvm(const AotCacheJob& job, const WideString& draft) {
    JvmSession session;
    if (!session.load(job.jvmLibrary, runtimeProgramFolder(job.jvmLibrary)))
        return -1;
    JvmOptions options;
    options.options.add(NarrowString("-XX:AOTMode=create"));
    options.options.add(narrow(u"-XX:AOTConfiguration=" + job.configuration));
    options.options.add(narrow(u"-XX:AOTCache=" + draft));
    for (const NarrowString& option : job.options)
        options.options.add(option);
    const bool created = session.createOnly(options);
    session.destroy();
    return created ? 0 : -1;
}

} // namespace

std::optional<NarrowString> aotCacheRecord(const WideString& cache, const StringList& classPath) {
    const std::optional<platform::FileStamp> own = platform::regularFileStamp(cache);
    if (!own)
        return std::nullopt;
    NarrowString text = stampText(*own) + "\n";
    for (const WideString& entry : classPath) {
        const std::optional<platform::FileStamp> stamp = platform::regularFileStamp(entry);
        if (!stamp)
            return std::nullopt;
        text += stampText(*stamp) + " " + narrow(entry) + "\n";
    }
    return text;
}

NarrowString jobText(const AotCacheJob& job) {
    NarrowString text = NarrowString(kJobHeading) + "\n";
    auto line = [&text](const char* key, const NarrowString& value) {
        text += NarrowString(key) + " " + value + "\n";
    };
    line("library", narrow(job.jvmLibrary));
    line("configuration", narrow(job.configuration));
    line("cache", narrow(job.cache));
    line("record", narrow(job.record));
    for (const WideString& entry : job.classPath)
        line("entry", narrow(entry));
    for (const NarrowString& option : job.options)
        line("option", option);
    return text;
}

std::optional<AotCacheJob> parseJob(const NarrowString& text) {
    AotCacheJob job;
    bool headed = false;
    int32_t start = 0;
    while (start < text.length()) {
        const int32_t end = text.Find('\n', start);
        if (end < 0)
            return std::nullopt; // cut short
        const NarrowString line = text.Mid(start, end - start);
        start = end + 1;
        if (!headed) {
            if (!(line == kJobHeading))
                return std::nullopt;
            headed = true;
            continue;
        }
        const int32_t space = line.Find(' ');
        if (space < 0)
            return std::nullopt;
        const NarrowString key = line.Left(space);
        const NarrowString value = line.Mid(space + 1);
        if (key == "library")
            job.jvmLibrary = widen(value);
        else if (key == "configuration")
            job.configuration = widen(value);
        else if (key == "cache")
            job.cache = widen(value);
        else if (key == "record")
            job.record = widen(value);
        else if (key == "entry")
            job.classPath.add(widen(value));
        else if (key == "option")
            job.options.add(value);
        else
            return std::nullopt;
    }
    if (!headed || job.jvmLibrary.isEmpty() || job.configuration.isEmpty() || job.cache.isEmpty() ||
        job.record.isEmpty())
        return std::nullopt;
    return job;
}

bool isCompleteAotConfiguration(const WideString& path) {
    return startsWithMagic(path, kConfigurationMagic);
}

bool isCompleteAotCache(const WideString& path) {
    return startsWithMagic(path, kCacheMagic);
}

int32_t createAotCache(const WideString& jobPath, const WideString& cacheRoot,
                       const WideString& folder, bool elevated, bool hostJvm) {
    // A job that is not taken is not touched: the variable may name any file.
    const std::optional<AotCacheJob> job = takeJob(jobPath, cacheRoot, folder, elevated);
    if (!job)
        return -1;
    const WideString draft = draftOf(jobPath);
    if (hostJvm)
        return hostCreatingJvm(*job, draft);

    // The create step ends its process from inside JNI_CreateJavaVM once the cache is
    // written: it runs in a process of its own, and this one completes the cache once that
    // has ended, whatever way the JVM took out.
    platform::removeFile(draft);
    const platform::SystemResult<WideString> self = platform::executablePath();
    const platform::SystemResult<uint32_t> ended =
        self ? platform::startInBackground(*self, kAotCreateVariable, jobPath, true)
             : platform::SystemResult<uint32_t>::failure(self.error());
    platform::removeFile(jobPath);
    platform::removeFile(job->configuration);
    if (!ended || *ended != 0 || !isCompleteAotCache(draft) ||
        platform::renameFile(draft, job->cache) != 0) {
        platform::removeFile(draft);
        trace(u"ahead-of-time cache: %s was not created", job->cache);
        return -1;
    }
    const std::optional<NarrowString> record = aotCacheRecord(job->cache, job->classPath);
    const WideString recordDraft = jobPath + u".done";
    platform::removeFile(recordDraft);
    if (!record || !platform::appendToFile(recordDraft, record->c_str(), record->length()) ||
        platform::renameFile(recordDraft, job->record) != 0) {
        platform::removeFile(recordDraft);
        return -1;
    }
    trace(u"ahead-of-time cache: %s completed", job->cache);
    removeOthers(*job);
    return 0;
}

} // namespace noviq
