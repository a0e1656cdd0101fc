// Windows: the trace file and the Java streams' files, opened without following a reparse
// point in the last component (one found there is refused); an elevated start's new trace
// file only in a folder whose owner and every write grant belong to SYSTEM, Administrators
// or TrustedInstaller.
#include "platform/opened_files.h"

#include <cstring>

#include "base/format.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

namespace noviq::platform {

using namespace win32;

namespace {

WideString errorText(const char16_t* what, DWORD error) {
    return Format(u"%s (error %u)", WideString(what), uint32_t{error});
}

// SYSTEM, Administrators and TrustedInstaller: the accounts that own what a standard user
// cannot change.
bool isAdministrativeSid(PSID sid) {
    static const WELL_KNOWN_SID_TYPE kinds[] = {WinLocalSystemSid, WinBuiltinAdministratorsSid};
    for (const WELL_KNOWN_SID_TYPE kind : kinds)
        if (IsWellKnownSid(sid, kind))
            return true;
    // NT SERVICE\TrustedInstaller: S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464.
    static const DWORD kTrustedInstaller[] = {80,         956008885,  3418522649,
                                              1831038044, 1853292631, 2271478464};
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    if (*GetSidSubAuthorityCount(sid) != 6 ||
        std::memcmp(GetSidIdentifierAuthority(sid), &nt, sizeof nt) != 0)
        return false;
    for (DWORD i = 0; i < 6; ++i)
        if (*GetSidSubAuthority(sid, i) != kTrustedInstaller[i])
            return false;
    return true;
}

// Why someone other than an administrator could put a file into `folder`, or empty.
WideString protectedFolderProblem(const WideString& path) {
    const int32_t slash = path.ReverseFind(u'\\');
    const WideString folder = slash < 0 ? WideString(u".") : path.Left(slash + 1);
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = GetNamedSecurityInfoW(
        w(folder), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
        nullptr, &dacl, nullptr, &descriptor);
    if (error != ERROR_SUCCESS)
        return errorText(u"its folder's security cannot be read", error);
    const ScopedLocalMemory held(descriptor);
    if (!owner || !isAdministrativeSid(owner))
        return u"its folder is not owned by SYSTEM, Administrators or TrustedInstaller";
    if (!dacl)
        return u"its folder lets everyone write";
    constexpr ACCESS_MASK kWriting = FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY | FILE_DELETE_CHILD |
                                     FILE_WRITE_DATA | FILE_APPEND_DATA | DELETE | WRITE_DAC |
                                     WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED;
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(dacl, i, &ace))
            return u"its folder's permissions cannot be read";
        const auto* header = static_cast<ACE_HEADER*>(ace);
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE || (header->AceFlags & INHERIT_ONLY_ACE))
            continue;
        const auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        if ((allowed->Mask & kWriting) &&
            !isAdministrativeSid(const_cast<DWORD*>(&allowed->SidStart)))
            return u"its folder lets others than administrators write";
    }
    return WideString();
}

// The file at path, never through a reparse point in the last component.
ScopedKernelHandle openNoFollow(const WideString& path, DWORD access, DWORD disposition,
                                WideString& problem) {
    ScopedKernelHandle file(
        CreateFileW(w(path), access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, disposition,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        problem = error == ERROR_FILE_EXISTS ? WideString(u"it exists already")
                                             : errorText(u"it cannot be opened", error);
        return file;
    }
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file.get(), &info)) {
        problem = errorText(u"it cannot be read", GetLastError());
    } else if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        problem = u"it is a link (a reparse point)";
    } else if ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ||
               GetFileType(file.get()) != FILE_TYPE_DISK) {
        problem = u"it is no regular file";
    }
    if (!problem.isEmpty())
        file.reset();
    return file;
}

} // namespace

struct AppendingFile::State {
    ScopedKernelHandle file;
};

AppendingFile::~AppendingFile() {
    delete state_;
}

WideString AppendingFile::open(const WideString& path, OpenRule rule) {
    const DWORD saved = GetLastError();
    WideString problem;
    if (rule == OpenRule::NewInProtectedFolder)
        problem = protectedFolderProblem(path);
    ScopedKernelHandle file;
    if (problem.isEmpty())
        file = openNoFollow(path, FILE_APPEND_DATA,
                            rule == OpenRule::NewInProtectedFolder ? CREATE_NEW : OPEN_ALWAYS,
                            problem);
    SetLastError(saved);
    if (!problem.isEmpty())
        return problem;
    delete state_;
    state_ = new State{std::move(file)};
    return WideString();
}

bool AppendingFile::append(const char* bytes, int32_t length) const {
    const DWORD saved = GetLastError();
    DWORD written = 0;
    const bool ok =
        state_ &&
        WriteFile(state_->file.get(), bytes, static_cast<DWORD>(length), &written, nullptr) &&
        written == static_cast<DWORD>(length);
    SetLastError(saved);
    return ok;
}

std::optional<int64_t> openStreamFile(const WideString& path, WideString& refused) {
    const DWORD saved = GetLastError();
    // Emptied only once it is known to be a plain file: CREATE_ALWAYS would empty whatever a
    // reparse point there leads to.
    ScopedKernelHandle file = openNoFollow(path, GENERIC_WRITE, OPEN_ALWAYS, refused);
    if (file && !SetEndOfFile(file.get())) {
        refused = errorText(u"it cannot be emptied", GetLastError());
        file.reset();
    }
    SetLastError(saved);
    if (!file)
        return std::nullopt;
    return reinterpret_cast<int64_t>(file.release());
}

const char* const kFileDescriptorField = "handle";
const char* const kFileDescriptorFieldType = "J";

} // namespace noviq::platform
