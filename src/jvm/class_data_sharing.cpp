// Class data sharing: the conditions under which a dump cannot fail, the archive's name, the
// record of a completed archive, and the completion of a dump.
#include "jvm/class_data_sharing.h"

#include <initializer_list>
#include <optional>

#include "base/format.h"
#include "common/path_utils.h"
#include "common/text.h"
#include "common/trace.h"
#include "jvm/jvm_output.h"
#include "platform/files.h"
#include "platform/path_style.h"
#include "platform/process.h"
#include "platform/protected_folders.h"
#include "platform/runtime_folders.h"

namespace noviq {

namespace {

// The first runtime with -XX:ArchiveClassesAtExit.
constexpr int32_t kFirstDynamicArchiveVersion = 13;

// The first bytes of a dynamic archive. The JVM writes the header after everything else,
// so a dump that was cut short does not start with them.
constexpr unsigned char kDynamicArchiveMagic[] = {0xa8, 0xab, 0x0b, 0xf0};

// CDS warnings go to standard output by default; the application's output stays its own.
const char kQuietOption[] = "-Xlog:cds*=off";
const char kQuietAotOption[] = "-Xlog:aot*=off";
// What the recording JVM prints as it ends, whatever the log settings say (Java 25 puts a
// space before it, Java 24 does not).
const char kRecordedLine[] = "AOTConfiguration recorded";

const char* const kOptionPrefixes[] = {
    "-Xshare",
    "-Xbootclasspath",
    "-Djava.class.path=",
    "-Djdk.module.",
    "--module-path",
    "--upgrade-module-path",
    "--patch-module",
    "--limit-modules",
    "-XX:Flags=", // options from a file the launcher does not read
    "-XX:VMOptionsFile=",
};

// Parts of -XX flag names: the sharing flags themselves, and the class pointer encodings
// for which a runtime may have no default archive to build on.
const char* const kFlagNameParts[] = {
    "Shared",
    "Archive",
    "CDS",
    "AOT",
    "DumpLoadedClassList",
    "CompressedClassPointers",
    "CompactObjectHeaders",
};

bool startsWith(const NarrowString& text, const char* prefix) {
    return text.startsWith(NarrowString(prefix));
}

// FNV-1a, 64 bits: the name only has to change when its inputs do; the JVM checks the
// class path itself before it maps an archive.
class Digest {
public:
    void add(uint64_t value) {
        for (int i = 0; i < 8; ++i)
            addByte(static_cast<unsigned char>(value >> (8 * i)));
    }
    void add(const WideString& text) {
        add(static_cast<uint64_t>(text.length()));
        for (int32_t i = 0; i < text.length(); ++i)
            add16(text[i]);
    }
    void add(const NarrowString& text) { add(widen(text)); }
    void add(const std::optional<platform::FileStamp>& stamp) {
        add(stamp ? stamp->size : ~uint64_t{0});
        add(stamp ? stamp->modified : ~uint64_t{0});
    }
    WideString hex() const {
        WideString text;
        for (int shift = 60; shift >= 0; shift -= 4)
            text += u"0123456789abcdef"[(value_ >> shift) & 0xF];
        return text;
    }

private:
    void addByte(unsigned char byte) { value_ = (value_ ^ byte) * 0x100000001b3u; }
    void add16(char16_t c) {
        addByte(static_cast<unsigned char>(c & 0xFF));
        addByte(static_cast<unsigned char>(c >> 8));
    }
    uint64_t value_ = 0xcbf29ce484222325u;
};

// The executable's name without its extension, in characters that are safe in a file name
// and in a search pattern.
WideString applicationStem(const WideString& applicationPath) {
    WideString name =
        applicationPath.Mid(applicationPath.ReverseFind(platform::kPathSeparator) + 1);
    if (const int32_t dot = name.ReverseFind(u'.'); dot > 0)
        name = name.Left(dot);
    WideString stem;
    for (int32_t i = 0; i < name.length(); ++i) {
        const char16_t c = name[i];
        if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
            c == u'_' || c == u'-')
            stem += c;
    }
    return stem.isEmpty() ? WideString(u"application") : stem;
}

NarrowString recordText(const platform::FileStamp& stamp) {
    return narrow(decimalUnsigned(stamp.size) + u" " + decimalUnsigned(stamp.modified) + u"\n");
}

// The JVM reads option text in the system's 8-bit encoding: a path it cannot hold would
// name another file.
bool survivesNarrowing(const WideString& path) {
    return widen(narrow(path)) == path;
}

// The tokens of an option variable, split at white space as the JVM splits them.
void addTokens(const NarrowString& text, NarrowStringList& tokens) {
    int32_t start = -1;
    for (int32_t i = 0; i <= text.length(); ++i) {
        const bool space = i == text.length() || text[i] == ' ' || text[i] == '\t' ||
                           text[i] == '\n' || text[i] == '\r';
        if (!space && start < 0)
            start = i;
        if (space && start >= 0) {
            tokens.add(text.Mid(start, i - start));
            start = -1;
        }
    }
}

// Why a start goes without, or nothing when it may use or dump an archive.
std::optional<WideString> reasonToGoWithout(const ClassDataSharingInputs& in,
                                            const NarrowStringList& environmentTokens) {
    if (in.runtimeVersion.isUnset() || in.runtimeVersion.component(0) < kFirstDynamicArchiveVersion)
        return Format(u"the runtime's version %s is before %d", in.runtimeVersion.format(),
                      kFirstDynamicArchiveVersion);
    if (in.cacheFolder.isEmpty() || !isAbsolutePath(in.cacheFolder))
        return WideString(in.elevated ? u"there is no folder that only administrators can write"
                                      : u"there is no per-user cache folder");
    // Without a default archive to build on, JDK 17 refuses a dump at the JVM's start.
    const WideString libraryFolder = withTrailingSeparator(withoutLastComponent(in.jvmLibraryPath));
    for (const char16_t* base : {u"classes.jsa", u"classes_nocoops.jsa"})
        if (!platform::regularFileStamp(libraryFolder + base))
            return Format(u"the runtime has no %s", WideString(base));
    // A class folder (or anything but a file) makes the dump fail after main has run.
    for (const WideString& entry : in.classPath)
        if (!platform::regularFileStamp(entry))
            return Format(u"the class path entry %s is no file", entry);
    // The class path option the launcher made is the one the digest describes; any other
    // would replace it.
    WideString ownClassPath = u"-Djava.class.path=";
    for (int32_t i = 0; i < in.classPath.count(); ++i)
        ownClassPath +=
            (i ? WideString(&platform::kListSeparator, 1) : WideString()) + in.classPath[i];
    for (const NarrowStringList* options :
         std::initializer_list<const NarrowStringList*>{&in.jvmOptions, &environmentTokens})
        for (const NarrowString& option : *options)
            if (isClassDataSharingOption(option) && widen(option) != ownClassPath)
                return Format(u"the option %s decides on class data sharing", widen(option));
    return std::nullopt;
}

} // namespace

bool isClassDataSharingOption(const NarrowString& option) {
    for (const char* prefix : kOptionPrefixes)
        if (startsWith(option, prefix))
            return true;
    if (startsWith(option, "-Xlog"))
        return option.Find(NarrowString("cds")) >= 0 || option.Find(NarrowString("aot")) >= 0;
    if (!startsWith(option, "-XX:"))
        return false;
    NarrowString name = option.Mid(4);
    if (!name.isEmpty() && (name[0] == '+' || name[0] == '-'))
        name = name.Mid(1);
    if (const int32_t equals = name.Find('='); equals >= 0)
        name = name.Left(equals);
    for (const char* part : kFlagNameParts)
        if (name.Find(NarrowString(part)) >= 0)
            return true;
    return false;
}

WideString classDataFolder(const WideString& cacheFolder) {
    const WideString separator(&platform::kPathSeparator, 1);
    return withTrailingSeparator(cacheFolder) + u"noviq" + separator + u"cds" + separator;
}

NarrowStringList ClassDataSharing::prepare(const ClassDataSharingInputs& in) {
    dumpTo_ = WideString();
    recordingTo_ = WideString();
    NarrowStringList environmentTokens;
    for (const NarrowString& text : in.environmentOptions)
        addTokens(text, environmentTokens);
    if (const std::optional<WideString> reason = reasonToGoWithout(in, environmentTokens)) {
        trace(u"class data sharing: none, %s", *reason);
        return {};
    }

    // Which application on which runtime: one archive each.
    const WideString libraryFolder = withTrailingSeparator(withoutLastComponent(in.jvmLibraryPath));
    Digest runtime;
    runtime.add(in.applicationPath);
    runtime.add(in.runtimeHome);
    runtime.add(in.runtimeVersion.format());
    for (const char16_t* file : {u"classes.jsa", u"classes_nocoops.jsa"})
        runtime.add(platform::regularFileStamp(libraryFolder + file));
    runtime.add(platform::regularFileStamp(in.jvmLibraryPath));
    runtime.add(platform::regularFileStamp(withTrailingSeparator(in.runtimeHome) + u"lib" +
                                           WideString(&platform::kPathSeparator, 1) + u"modules"));
    // What the archive holds: the class path's files as they are now, and the options.
    Digest content;
    for (const WideString& entry : in.classPath) {
        content.add(entry);
        content.add(platform::regularFileStamp(entry));
    }
    for (const NarrowStringList* options :
         std::initializer_list<const NarrowStringList*>{&in.jvmOptions, &environmentTokens})
        for (const NarrowString& option : *options)
            if (!startsWith(option, "-Djava.library.path="))
                content.add(option);

    folder_ = classDataFolder(in.cacheFolder);
    prefix_ = applicationStem(in.applicationPath) + u"-" + runtime.hex() + u"-";
    const WideString name = folder_ + prefix_ + content.hex();
    archive_ = name + u".jsa";
    record_ = name + u".done";
    if (!survivesNarrowing(archive_)) {
        trace(u"class data sharing: none, the cache folder's name cannot be passed to the JVM");
        return {};
    }

    // An archive injects classes: whoever could write it, or rename anything on the way to
    // it, decides what runs. An elevated start's are the administrators' (the per-user cache
    // is any program's of its user).
    const platform::FolderWriters writers =
        in.elevated ? platform::FolderWriters::Administrators : platform::FolderWriters::ThisUser;
    if (const uint32_t error = platform::createPrivateFolders(in.cacheFolder, folder_, writers)) {
        trace(u"class data sharing: none, %s cannot be created (error %u)", folder_, error);
        return {};
    }
    if (const std::optional<WideString> why =
            platform::whyNotPrivate(in.cacheFolder, folder_, writers)) {
        trace(u"class data sharing: none, %s", *why);
        return {};
    }

    if (in.runtimeVersion.component(0) >= kFirstAotCacheVersion)
        return prepareAotCache(in, name, writers);

    NarrowStringList options;
    options.add(NarrowString(kQuietOption));
    const std::optional<platform::FileStamp> stamp = platform::regularFileStamp(archive_);
    if (stamp && platform::readFileStart(record_, 64) == recordText(*stamp)) {
        std::optional<WideString> why = platform::whyNotPrivate(in.cacheFolder, archive_, writers);
        if (!why)
            why = platform::whyNotPrivate(in.cacheFolder, record_, writers);
        if (!why) {
            trace(u"class data sharing: uses %s", archive_);
            options.add(narrow(u"-XX:SharedArchiveFile=" + archive_));
            return options;
        }
        // The dump below replaces it.
        trace(u"class data sharing: %s is not used, %s", archive_, *why);
    }

    // The JVM reports a file it cannot create only after main, and ends with 1: the file is
    // made here first. A name of this process's own is never another start's dump.
    const WideString dumpTo = name + u"." + decimalUnsigned(platform::currentProcessId()) + u".tmp";
    platform::removeFile(dumpTo);
    if (const uint32_t error = platform::createNewFile(dumpTo)) {
        trace(u"class data sharing: none, %s cannot be created (error %u)", dumpTo, error);
        return {};
    }
    trace(u"class data sharing: no completed archive %s; the JVM dumps one to %s", archive_,
          dumpTo);
    dumpTo_ = dumpTo;
    options.add(narrow(u"-XX:ArchiveClassesAtExit=" + dumpTo));
    return options;
}

NarrowStringList ClassDataSharing::prepareAotCache(const ClassDataSharingInputs& in,
                                                   const WideString& name,
                                                   platform::FolderWriters writers) {
    archive_ = name + u".aot";
    cacheRoot_ = in.cacheFolder;
    executable_ = in.applicationPath;
    NarrowStringList options;
    options.add(NarrowString(kQuietOption));
    options.add(NarrowString(kQuietAotOption));
    // The JVM would map a cache made from other jars: the record names the files it was
    // made from, as they were.
    const std::optional<NarrowString> expected = aotCacheRecord(archive_, in.classPath);
    if (expected && platform::readFileStart(record_, 1024 * 1024) == *expected) {
        std::optional<WideString> why = platform::whyNotPrivate(in.cacheFolder, archive_, writers);
        if (!why)
            why = platform::whyNotPrivate(in.cacheFolder, record_, writers);
        if (!why) {
            trace(u"class data sharing: uses the ahead-of-time cache %s", archive_);
            options.add(narrow(u"-XX:AOTCache=" + archive_));
            return options;
        }
        trace(u"class data sharing: %s is not used, %s", archive_, *why);
    } else if (platform::regularFileStamp(archive_)) {
        trace(u"class data sharing: %s is not used, its record does not match", archive_);
    }
    for (const NarrowString& option : in.jvmOptions)
        if (option.Find('\n') >= 0) { // the job holds one option a line
            trace(u"class data sharing: none, an option holds a line break");
            return {};
        }
    const WideString recordTo =
        name + u"." + decimalUnsigned(platform::currentProcessId()) + u".aotconf.tmp";
    platform::removeFile(recordTo);
    if (const uint32_t error = platform::createNewFile(recordTo)) {
        trace(u"class data sharing: none, %s cannot be created (error %u)", recordTo, error);
        return {};
    }
    recordingTo_ = recordTo;
    job_ = AotCacheJob{in.jvmLibraryPath, recordTo, archive_, record_, in.classPath, in.jvmOptions};
    trace(u"class data sharing: no ahead-of-time cache %s; the JVM records the configuration "
          u"in %s",
          archive_, recordTo);
    dropJvmOutputLines(kRecordedLine);
    options.add(NarrowString("-XX:AOTMode=record"));
    options.add(narrow(u"-XX:AOTConfiguration=" + recordTo));
    return options;
}

void ClassDataSharing::startAotCacheCreation() {
    const WideString recorded = recordingTo_;
    recordingTo_ = WideString();
    if (!isCompleteAotConfiguration(recorded)) {
        platform::removeFile(recorded);
        trace(u"class data sharing: the configuration in %s is incomplete; removed", recorded);
        return;
    }
    // The job goes where only this user (elevated: administrators) can write, as the cache.
    const WideString jobPath =
        job_.cache + u"." + decimalUnsigned(platform::currentProcessId()) + u".job";
    const NarrowString text = jobText(job_);
    platform::removeFile(jobPath);
    if (platform::createNewFile(jobPath) != 0 ||
        !platform::appendToFile(jobPath, text.c_str(), text.length())) {
        platform::removeFile(jobPath);
        platform::removeFile(recorded);
        return;
    }
    const platform::SystemResult<uint32_t> started =
        platform::startInBackground(executable_, kAotJobVariable, jobPath, false);
    if (!started) {
        platform::removeFile(jobPath);
        platform::removeFile(recorded);
        trace(u"class data sharing: the cache's creation cannot be started (error %u)",
              started.error());
        return;
    }
    trace(u"class data sharing: %s is created in the background", job_.cache);
}

void ClassDataSharing::jvmCutOff() {
    if (!recordingTo_.isEmpty()) {
        platform::removeFile(recordingTo_);
        trace(u"class data sharing: the configuration in %s was cut off; removed", recordingTo_);
        recordingTo_ = WideString();
    }
    if (dumpTo_.isEmpty())
        return;
    platform::removeFile(dumpTo_);
    trace(u"class data sharing: the dump in %s was cut off; removed", dumpTo_);
    dumpTo_ = WideString();
}

void ClassDataSharing::jvmEnded() {
    if (!recordingTo_.isEmpty()) {
        startAotCacheCreation();
        return;
    }
    if (dumpTo_.isEmpty())
        return;
    const WideString dumped = dumpTo_;
    dumpTo_ = WideString();
    const NarrowString head = platform::readFileStart(dumped, 4);
    const std::optional<platform::FileStamp> stamp = platform::regularFileStamp(dumped);
    bool complete = head.length() == 4 && stamp;
    for (int32_t i = 0; complete && i < 4; ++i)
        complete = static_cast<unsigned char>(head[i]) == kDynamicArchiveMagic[i];
    if (!complete || platform::renameFile(dumped, archive_) != 0) {
        platform::removeFile(dumped);
        trace(u"class data sharing: the dump in %s is %s; removed", dumped,
              WideString(complete ? u"complete but cannot be renamed" : u"incomplete"));
        return;
    }
    // Another start may have renamed its own dump over it meanwhile: then the record would
    // describe a file this one never saw complete.
    const std::optional<platform::FileStamp> kept = platform::regularFileStamp(archive_);
    if (!kept || !(*kept == *stamp))
        return;
    const NarrowString text = recordText(*kept);
    const WideString recordDraft =
        record_ + u"." + decimalUnsigned(platform::currentProcessId()) + u".tmp";
    platform::removeFile(recordDraft);
    if (!platform::appendToFile(recordDraft, text.c_str(), text.length()) ||
        platform::renameFile(recordDraft, record_) != 0) {
        platform::removeFile(recordDraft);
        return;
    }
    trace(u"class data sharing: archive %s completed", archive_);

    // One archive per application and runtime: those of earlier class paths go, and so do
    // dumps that other starts left unfinished (one that is still being written only fails
    // to complete).
    StringList others;
    platform::DirectorySearch files(folder_ + prefix_ + u"*");
    for (WideString file; files.next(file);)
        if (folder_ + file != archive_ && folder_ + file != record_)
            others.add(folder_ + file);
    for (const WideString& file : others)
        platform::removeFile(file);
}

} // namespace noviq
