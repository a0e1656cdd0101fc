// Windows: single-instance object names, the descriptor the objects are made with, and the
// check of an object that another process made first.
#include "platform/win32/instance_objects.h"

#include "base/format.h"

namespace noviq::platform::win32 {

namespace {

// An object without a label is treated by the system as Medium.
constexpr DWORD kUnlabelledLevel = SECURITY_MANDATORY_MEDIUM_RID;

std::vector<unsigned char> tokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
    DWORD size = 0;
    GetTokenInformation(token, kind, nullptr, 0, &size);
    std::vector<unsigned char> bytes(size);
    if (size == 0 || !GetTokenInformation(token, kind, bytes.data(), size, &size))
        bytes.clear();
    return bytes;
}

WideString sidText(PSID sid) {
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(sid, &text))
        return {};
    const ScopedLocalMemory held(text);
    return str(text);
}

// The last sub-authority of a mandatory label's SID is the level.
DWORD levelOf(PSID label) {
    const UCHAR count = *GetSidSubAuthorityCount(label);
    return count == 0 ? 0 : *GetSidSubAuthority(label, count - 1u);
}

} // namespace

WideString instanceBaseName(const WideString& executablePath) {
    WideString path = executablePath;
    const ScopedKernelHandle file(
        CreateFileW(w(executablePath), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr));
    const DWORD needed =
        file ? GetFinalPathNameByHandleW(file.get(), nullptr, 0, FILE_NAME_NORMALIZED) : 0;
    if (needed > 0) {
        WideString resolved;
        const DWORD n = GetFinalPathNameByHandleW(
            file.get(), w(resolved.GetBuffer(static_cast<int32_t>(needed))), needed,
            FILE_NAME_NORMALIZED);
        resolved.ReleaseBuffer(n < needed ? static_cast<int32_t>(n) : 0);
        if (resolved.Left(8) == u"\\\\?\\UNC\\")
            path = WideString(u"\\\\") + resolved.Mid(8);
        else if (resolved.Left(4) == u"\\\\?\\")
            path = resolved.Mid(4);
        else if (!resolved.isEmpty())
            path = resolved;
    }
    WideString name;
    for (int32_t i = 0; i < path.length(); ++i)
        name += path[i] == u'\\' ? u'_' : path[i];
    if (!name.isEmpty()) {
        wchar_t* text = w(name.GetBuffer(name.length()));
        CharUpperBuffW(text, static_cast<DWORD>(name.length()));
        name.ReleaseBuffer(name.length());
    }
    return name;
}

bool InstanceObjectSecurity::prepare() {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw))
        return false;
    const ScopedKernelHandle token(raw);
    // The owner is what the token gives new objects, not assumed: an elevated token's is
    // usually Administrators, Wine's is the user's group.
    const auto owner = tokenInformation(token.get(), TokenOwner);
    const auto user = tokenInformation(token.get(), TokenUser);
    const auto label = tokenInformation(token.get(), TokenIntegrityLevel);
    if (owner.empty() || user.empty() || label.empty())
        return false;
    const PSID ownerSid = reinterpret_cast<const TOKEN_OWNER*>(owner.data())->Owner;
    const PSID userSid = reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
    const PSID labelSid = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(label.data())->Label.Sid;
    owner_.assign(static_cast<const unsigned char*>(ownerSid),
                  static_cast<const unsigned char*>(ownerSid) + GetLengthSid(ownerSid));
    level_ = levelOf(labelSid);

    const WideString ownerText = sidText(ownerSid);
    const WideString userText = sidText(userSid);
    const WideString labelText = sidText(labelSid);
    if (ownerText.isEmpty() || userText.isEmpty() || labelText.isEmpty())
        return false;
    // No write up: a process below this level cannot change the objects either.
    const WideString sddl =
        Format(u"O:%sD:P(A;;GA;;;%s)(A;;GA;;;SY)S:(ML;;NW;;;%s)", ownerText, userText, labelText);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(w(sddl), SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        return false;
    descriptor_.reset(descriptor);
    attributes_ = SECURITY_ATTRIBUTES{sizeof(SECURITY_ATTRIBUTES), descriptor, FALSE};
    return true;
}

WideString InstanceObjectSecurity::distrust(HANDLE object) const {
    PSID owner = nullptr;
    PACL labels = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = GetSecurityInfo(object, SE_KERNEL_OBJECT,
                                        OWNER_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION,
                                        &owner, nullptr, nullptr, &labels, &descriptor);
    const ScopedLocalMemory held(descriptor);
    if (error != ERROR_SUCCESS)
        return Format(u"its owner and label cannot be read (error %u)", uint32_t{error});
    if (!owner)
        return u"it has no owner";
    auto* ownSid = const_cast<unsigned char*>(owner_.data());
    if (!EqualSid(owner, ownSid))
        return Format(u"its owner %s is not this start's %s", sidText(owner), sidText(ownSid));
    DWORD level = kUnlabelledLevel;
    for (DWORD i = 0; labels && i < labels->AceCount; ++i) {
        void* ace = nullptr;
        if (GetAce(labels, i, &ace) &&
            static_cast<ACE_HEADER*>(ace)->AceType == SYSTEM_MANDATORY_LABEL_ACE_TYPE) {
            level = levelOf(&static_cast<SYSTEM_MANDATORY_LABEL_ACE*>(ace)->SidStart);
            break;
        }
    }
    if (level < level_)
        return Format(u"its integrity level %u is below this start's %u", uint32_t{level},
                      uint32_t{level_});
    return {};
}

} // namespace noviq::platform::win32
