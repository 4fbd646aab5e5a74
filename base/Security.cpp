#include "base/Security.h"

#include "base/Handles.h"

namespace {

// A well-known SID built in place: NT AUTHORITY with one or two sub-authorities.
PSID WellKnownSid(BYTE* buffer, DWORD first, DWORD second, BYTE count) {
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID sid = buffer;
    if (!InitializeSid(sid, &nt, count)) return nullptr;
    *GetSidSubAuthority(sid, 0) = first;
    if (count > 1) *GetSidSubAuthority(sid, 1) = second;
    return sid;
}

}  // namespace

PSID TokenUserSid(TokenUserBuffer* buffer) {
    ScopedHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return nullptr;
    DWORD size = 0;
    if (!GetTokenInformation(token.Get(), TokenUser, buffer, sizeof *buffer, &size))
        return nullptr;
    return buffer->user.User.Sid;
}

BOOL MakeOwnSecurity(OwnSecurity* own, int who, DWORD access, bool inherit) {
    PSID system = WellKnownSid(own->system, SECURITY_LOCAL_SYSTEM_RID, 0, 1);
    PSID other = who == kForRunAccount
                     ? TokenUserSid(&own->token)
                     : WellKnownSid(own->administrators, SECURITY_BUILTIN_DOMAIN_RID,
                                    DOMAIN_ALIAS_RID_ADMINS, 2);
    if (system == nullptr || other == nullptr) return FALSE;
    const DWORD flags = inherit ? OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE : 0;
    if (!InitializeAcl(&own->dacl.acl, sizeof own->dacl, ACL_REVISION) ||
        !AddAccessAllowedAceEx(&own->dacl.acl, ACL_REVISION, flags, access, other) ||
        !AddAccessAllowedAceEx(&own->dacl.acl, ACL_REVISION, flags, access, system) ||
        !InitializeSecurityDescriptor(&own->descriptor, SECURITY_DESCRIPTOR_REVISION) ||
        !SetSecurityDescriptorDacl(&own->descriptor, TRUE, &own->dacl.acl, FALSE) ||
        // Protected: a folder's inheritable grants (users may create files in the temp
        // folder or the Data folder) would otherwise be merged in.
        !SetSecurityDescriptorControl(&own->descriptor, SE_DACL_PROTECTED, SE_DACL_PROTECTED))
        return FALSE;
    own->attributes.nLength = sizeof own->attributes;
    own->attributes.lpSecurityDescriptor = &own->descriptor;
    own->attributes.bInheritHandle = FALSE;
    return TRUE;
}
