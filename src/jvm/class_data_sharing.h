// Class data sharing with one archive per application and runtime, kept in the per-user
// cache folder (an elevated start: in a machine-wide one only administrators can write):
// whether a start uses the archive, dumps it, or goes without, and the completion of a dump
// once the JVM is gone. An archive anyone else could have written is never used. The JVM
// does not protect a start from a bad archive (JDK 17 faults on a truncated one; a class
// folder on the class path or an archive it cannot write ends the process with 1 after
// main), so the launcher hands it only archives it saw completed, and asks for a dump only
// where the dump cannot fail.
#pragma once

#include "base/basic_string.h"
#include "base/string_list.h"
#include "jre/java_version.h"
#include "jvm/aot_cache.h"
#include "jvm/jvm_session.h"
#include "platform/protected_folders.h"

namespace noviq {

// What one start's decision is made from.
struct ClassDataSharingInputs {
    // The folder under which noviq/cds holds the archives: the per-user cache folder, or for
    // an elevated start the machine-wide one; empty: there is none.
    WideString cacheFolder;
    bool elevated = false; // only what administrators alone can write is used
    WideString applicationPath;
    WideString jvmLibraryPath;
    WideString runtimeHome;
    JavaVersion runtimeVersion;          // JAVA_VERSION from the runtime's release file
    StringList classPath;                // the entries of the class path option
    NarrowStringList jvmOptions;         // every option the JVM is created with
    NarrowStringList environmentOptions; // the variables the JVM reads options from
};

// The decision for one start, and the end of its dump.
class ClassDataSharing final : public JvmEndAction {
public:
    // The options that make the JVM use the completed archive or dump a new one at its end;
    // none when the start goes without.
    NarrowStringList prepare(const ClassDataSharingInputs& inputs);

    // A complete dump becomes the archive, with the record that marks it completed, and
    // replaces the application's archives for other class paths; anything else is removed.
    // A complete recorded configuration is handed to a background start that creates the
    // ahead-of-time cache from it.
    void jvmEnded() override;
    // A dump the end of the process cut off may have its header and still lack regions: it
    // is removed, whatever it looks like.
    void jvmCutOff() override;

private:
    NarrowStringList prepareAotCache(const ClassDataSharingInputs& inputs, const WideString& name,
                                     platform::FolderWriters writers);
    void startAotCacheCreation();

    WideString cacheRoot_;
    WideString executable_;
    AotCacheJob job_;        // the creation this start's recording asks for
    WideString recordingTo_; // the temporary name of the configuration; empty: none
    WideString folder_;
    WideString prefix_;  // the names of every file of this application and runtime start so
    WideString archive_; // the completed archive
    WideString record_;  // its size and time, written once it is complete
    WideString dumpTo_;  // the temporary name the JVM dumps to; empty: no dump
};

// Whether a JVM option decides on class data sharing itself, or on what an archive holds
// (the class path, the boot and module paths, the class pointer encoding).
bool isClassDataSharingOption(const NarrowString& option);

// The folder of the archives and caches under a cache folder (ends with a separator).
WideString classDataFolder(const WideString& cacheFolder);

} // namespace noviq
