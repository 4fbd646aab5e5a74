// Security descriptors of the program's own making: a protected DACL (nothing inherited
// from the folder) that grants full access to the accounts named and nobody else.
#ifndef QUORLEN_BASE_SECURITY_H
#define QUORLEN_BASE_SECURITY_H

#include <windows.h>

// A TOKEN_USER: a pointer and a SID of at most 68 bytes, with room to spare.
union TokenUserBuffer {
    TOKEN_USER user;
    BYTE bytes[256];
};

// The SID of the process token's user, in *buffer; null when it cannot be read.
PSID TokenUserSid(TokenUserBuffer* buffer);

struct OwnSecurity {
    SECURITY_ATTRIBUTES attributes;  // for CreateFileA, CreateDirectoryA, CreateMutexA
    SECURITY_DESCRIPTOR descriptor;
    union {
        ACL acl;
        BYTE bytes[512];
    } dacl;
    TokenUserBuffer token;
    BYTE system[SECURITY_MAX_SID_SIZE];
    BYTE administrators[SECURITY_MAX_SID_SIZE];
};

enum OwnSecurityFor {
    kForRunAccount,       // the account the process runs as, and SYSTEM
    kForAdministrators,   // SYSTEM and the Administrators group
};

// Fills *own for who, granting access; inherit makes the grants pass on to what is
// created inside a folder. own->attributes then points to the descriptor. Nonzero, or
// 0 with the error in GetLastError.
BOOL MakeOwnSecurity(OwnSecurity* own, int who, DWORD access, bool inherit);

#endif
