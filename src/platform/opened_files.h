// Files the launcher opens for writing on behalf of an elevated start: the trace and the
// Java streams' "Output File" and "Error File". What an unelevated program can create, a
// link in a folder of the user's, must not make an elevated start write somewhere else.
// Neither follows a link in the last component: Linux opens with O_NOFOLLOW and takes only
// a file of the effective uid, Windows refuses a reparse point.
#pragma once

#include <cstdint>
#include <optional>

#include "base/basic_string.h"

namespace noviq::platform {

// How the launcher opens a file it writes.
enum class OpenRule {
    // The file may exist (it is kept and appended to, or emptied) or is created.
    ExistingOrNew,
    // Only a file that does not exist yet, in a folder that only administrators (root) can
    // write: what an elevated start asks of a file its user named.
    NewInProtectedFolder,
};

// A file opened once for appending, written to until it is destroyed. Move-only.
class AppendingFile {
public:
    AppendingFile() = default;
    ~AppendingFile();
    AppendingFile(const AppendingFile&) = delete;
    AppendingFile& operator=(const AppendingFile&) = delete;

    // Empty on success, otherwise why the file was refused or could not be opened.
    WideString open(const WideString& path, OpenRule rule);
    bool isOpen() const { return state_ != nullptr; }
    bool append(const char* bytes, int32_t length) const;

private:
    struct State;
    State* state_ = nullptr;
};

// A file for one of the JVM's streams, created or emptied, whose descriptor the JVM's
// java.io.FileDescriptor takes over (it is never closed here): its value, or nothing with
// the reason in `refused`.
std::optional<int64_t> openStreamFile(const WideString& path, WideString& refused);

// The java.io.FileDescriptor field that holds such a value, and its JNI type signature:
// "fd" and "I" on Linux, "handle" and "J" on Windows.
extern const char* const kFileDescriptorField;
extern const char* const kFileDescriptorFieldType;

} // namespace noviq::platform
