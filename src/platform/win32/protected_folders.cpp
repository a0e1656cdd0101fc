// Windows: the administrators' folder for class data sharing archives under ProgramData.
// ProgramData lets every user create folders in it (and own them), so the launcher's folders
// carry an owner and a DACL of their own, and each folder and file is checked through a
// handle that does not follow a reparse point before it is trusted.
#include "platform/protected_folders.h"

#include <vector>

#include "base/format.h"
#include "common/registry_value.h"
#include "platform/win32/scoped_handle.h"
#include "platform/win32/windows_api.h"

namespace noviq::platform {

using namespace win32;

namespace {

// Owned by Administrators; SYSTEM and Administrators have full control, nothing is inherited
// from ProgramData, and what is made inside inherits the same. The owner of a file made
// inside gets only reading through OWNER RIGHTS, whoever the system makes its owner.
const char16_t kDescriptor[] = u"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICIIO;FR;;;OW)";

// Any right that changes an object, its contents, its attributes or its descriptor.
constexpr DWORD kChangingRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_WRITE_EA |
                                  FILE_WRITE_ATTRIBUTES | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                  WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED;

WideString sidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text))
        return u"an unreadable SID";
    const ScopedLocalMemory held(text);
    return str(text);
}

bool isAdministrative(PSID sid) {
    return IsWellKnownSid(sid, WinLocalSystemSid) ||
           IsWellKnownSid(sid, WinBuiltinAdministratorsSid);
}

bool startsWithIgnoringCase(const WideString& text, const WideString& start) {
    return text.length() >= start.length() &&
           CompareStringOrdinal(w(text), start.length(), w(start), start.length(), TRUE) ==
               CSTR_EQUAL;
}

WideString withoutTrailingSeparators(WideString path) {
    while (path.length() > 3 &&
           (path[path.length() - 1] == u'\\' || path[path.length() - 1] == u'/'))
        path = path.Left(path.length() - 1);
    return path;
}

// The folders below `root` down to `path`, and `path`; empty when `path` is not below it.
std::vector<WideString> chainBelow(const WideString& root, const WideString& path) {
    const WideString base = withoutTrailingSeparators(root) + u"\\";
    const WideString full = withoutTrailingSeparators(path);
    if (base.length() < 4 || full.length() <= base.length() || !startsWithIgnoringCase(full, base))
        return {};
    std::vector<WideString> chain;
    for (int32_t at = full.Find(u'\\', base.length());; at = full.Find(u'\\', at + 1)) {
        chain.push_back(at < 0 ? full : full.Left(at));
        if (at < 0)
            return chain;
    }
}

std::optional<WideString> whyNotAdministrators(const WideString& path) {
    const ScopedKernelHandle object(CreateFileW(
        w(path), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!object || !GetFileInformationByHandle(object.get(), &information))
        return Format(u"%s cannot be examined (error %u)", path, uint32_t{GetLastError()});
    if (information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
        return Format(u"%s is a reparse point", path);
    const bool isFolder = (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = GetSecurityInfo(object.get(), SE_FILE_OBJECT,
                                        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                        &owner, nullptr, &dacl, nullptr, &descriptor);
    const ScopedLocalMemory held(descriptor);
    if (error != ERROR_SUCCESS)
        return Format(u"the owner and DACL of %s cannot be read (error %u)", path, uint32_t{error});
    // A file's owner is whatever the system gives the launcher's token; OWNER RIGHTS keeps
    // it from changing the file's DACL.
    if (isFolder && (!owner || !isAdministrative(owner)))
        return Format(u"%s is owned by %s, not by SYSTEM or Administrators", path,
                      owner ? sidText(owner) : WideString(u"no one"));
    if (!dacl)
        return Format(u"%s has no DACL: anyone may change it", path);
    for (DWORD i = 0; i < dacl->AceCount; ++i) {
        void* entry = nullptr;
        if (!GetAce(dacl, i, &entry))
            return Format(u"the DACL of %s cannot be read", path);
        const auto* header = static_cast<ACE_HEADER*>(entry);
        if ((header->AceFlags & INHERIT_ONLY_ACE) || header->AceType == ACCESS_DENIED_ACE_TYPE)
            continue;
        if (header->AceType != ACCESS_ALLOWED_ACE_TYPE)
            return Format(u"the DACL of %s holds an entry of kind %u", path,
                          uint32_t{header->AceType});
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(entry);
        if ((allowed->Mask & kChangingRights) && !isAdministrative(&allowed->SidStart))
            return Format(u"%s can be changed by others than SYSTEM and Administrators", path);
    }
    return std::nullopt;
}

} // namespace

WideString protectedCacheRoot() {
    // The profile list names it with %SystemDrive%, which the user's environment could
    // redefine: the drive is taken from the system's own Windows folder instead. Without the
    // value the folder is where Windows puts it.
    wchar_t windows[MAX_PATH]{};
    const UINT n = GetSystemWindowsDirectoryW(windows, MAX_PATH);
    if (n < 2 || n >= MAX_PATH || windows[1] != L':')
        return {};
    const WideString drive = str(windows, 2);
    WideString folder = drive + u"\\ProgramData";
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                      L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList", 0,
                      KEY_QUERY_VALUE | KEY_WOW64_64KEY, &raw) == ERROR_SUCCESS) {
        const ScopedRegistryKey key(raw);
        unsigned char data[2 * MAX_PATH]{};
        DWORD type = 0, size = sizeof(data);
        const LSTATUS status =
            RegQueryValueExW(key.get(), L"ProgramData", nullptr, &type, data, &size);
        if (status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ))
            folder = registryDataText(data, size);
        else if (status != ERROR_FILE_NOT_FOUND)
            return {};
    }
    const WideString systemDrive = u"%SystemDrive%";
    if (startsWithIgnoringCase(folder, systemDrive))
        folder = drive + folder.Mid(systemDrive.length());
    if (folder.Find(u'%') >= 0 || folder.length() < 4 || folder[1] != u':' || folder[2] != u'\\')
        return {};
    return folder;
}

uint32_t createPrivateFolders(const WideString& root, const WideString& folder,
                              FolderWriters writers) {
    const std::vector<WideString> chain = chainBelow(root, folder);
    if (chain.empty())
        return ERROR_INVALID_PARAMETER;
    SECURITY_ATTRIBUTES attributes{sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (writers == FolderWriters::Administrators &&
        !ConvertStringSecurityDescriptorToSecurityDescriptorW(w(kDescriptor), SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return GetLastError();
    const ScopedLocalMemory held(descriptor);
    attributes.lpSecurityDescriptor = descriptor;
    // The user's own cache folder may be missing; the machine-wide one is the system's.
    if (writers == FolderWriters::ThisUser && !CreateDirectoryW(w(root), nullptr) &&
        GetLastError() != ERROR_ALREADY_EXISTS)
        return GetLastError();
    for (const WideString& each : chain) {
        if (!CreateDirectoryW(w(each), descriptor ? &attributes : nullptr) &&
            GetLastError() != ERROR_ALREADY_EXISTS)
            return GetLastError();
    }
    return 0;
}

std::optional<WideString> whyNotPrivate(const WideString& root, const WideString& path,
                                        FolderWriters writers) {
    if (writers == FolderWriters::ThisUser)
        return std::nullopt; // the profile's folders are the user's, and so is the process
    const std::vector<WideString> chain = chainBelow(root, path);
    if (chain.empty())
        return Format(u"%s is not below %s", path, root);
    for (const WideString& each : chain)
        if (std::optional<WideString> why = whyNotAdministrators(each))
            return why;
    return std::nullopt;
}

} // namespace noviq::platform
