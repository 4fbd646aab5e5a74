#include "deploy/WaitingCopy.h"

#include <windows.h>
#include <mbstring.h>
#include <string.h>

#include "base/Handles.h"

namespace {

const char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
const char kPendingMoves[] = "PendingFileRenameOperations";
// Far beyond any real list of moves; a larger value is not read.
const DWORD kPendingMovesLimit = 1024 * 1024;

// The length of path up to and including its count-th backslash, or its last one when
// count is 0; 0 when there are fewer.
size_t ThroughSeparator(const char* path, size_t length, int count) {
    size_t through = 0;
    int seen = 0;
    for (size_t i = 0; i < length; ++i) {
        if (path[i] == '\\') {
            through = i + 1;
            if (++seen == count) return through;
        } else if (IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(path[i]))) {
            ++i;  // a trail byte may look like a backslash in a double-byte code page
        }
    }
    return count == 0 ? through : 0;
}

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// The root of path's volume as GetDriveTypeA and GetVolumeInformationA take it: "X:\",
// "\\server\share\", or null, the current folder's volume, for a path without either.
const char* VolumeRoot(const char* path, PathBuffer& root, bool* unc) {
    *unc = false;
    const char* drive = strncmp(path, "\\\\?\\", 4) == 0 ? path + 4 : path;
    if (IsDriveLetter(drive[0]) && drive[1] == ':') {
        FormatText(root, sizeof root, "%c:\\", drive[0]);
        return root;
    }
    if (path[0] != '\\' || path[1] != '\\') return nullptr;
    *unc = true;
    const size_t share = ThroughSeparator(path, TextLength(path, kPathSize), 4);
    if (share != 0) {
        FormatText(root, sizeof root, "%.*s", static_cast<int>(share), path);
    } else {
        FormatText(root, sizeof root, "%s\\", path);
    }
    return root;
}

// The form in which MoveFileExA stores a name: full, "/" as "\", "." and ".." and
// doubled separators gone. 0 when it does not fit.
int StoredForm(const char* path, PathBuffer& full) {
    const DWORD length = GetFullPathNameA(path, kPathSize, full, nullptr);
    return length != 0 && length < kPathSize;
}

// An entry of the list of moves names path (in its stored form): "\??\" and the path,
// in any case.
bool NamesPath(const char* entry, const char* path) {
    PathBuffer stored;
    return strncmp(entry, "\\??\\", 4) == 0 && StoredForm(entry + 4, stored) &&
           _mbsicmp(reinterpret_cast<const unsigned char*>(stored),
                    reinterpret_cast<const unsigned char*>(path)) == 0;
}

// The DACL of the file at path, read into *descriptor; 0 with *failure set when it
// cannot be read.
int ReadDacl(const char* path, ScopedMemory* descriptor, StepFailure* failure) {
    const SECURITY_INFORMATION dacl = DACL_SECURITY_INFORMATION;
    DWORD needed = 0;
    if (!GetFileSecurityA(path, dacl, nullptr, 0, &needed) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        failure->Set("GetFileSecurityA");
        return 0;
    }
    *descriptor = ScopedMemory(HeapAlloc(GetProcessHeap(), 0, needed));
    if (!descriptor->IsValid()) {
        failure->step = "GetFileSecurityA";
        failure->error = ERROR_NOT_ENOUGH_MEMORY;
        return 0;
    }
    if (!GetFileSecurityA(path, dacl, descriptor->Get(), needed, &needed)) {
        failure->Set("GetFileSecurityA");
        return 0;
    }
    return 1;
}

}  // namespace

int BesideList(const char* target, const char* suffix, PathBuffer& path) {
    const size_t length = TextLength(target, kPathSize);
    const size_t folder = ThroughSeparator(target, length, 0);
    return length < kPathSize &&
           FormatText(path, sizeof path, "%.*s%s%s", static_cast<int>(folder), target,
                      kRegionListName, suffix);
}

int RestartMoveFor(const char* copy, const char* target) {
    // The system keeps the names as MoveFileExA stored them, not as they were typed.
    PathBuffer storedCopy;
    PathBuffer storedTarget;
    if (!StoredForm(copy, storedCopy) || !StoredForm(target, storedTarget)) return kRestartMoveUnknown;

    ScopedKey key;
    LONG status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_QUERY_VALUE,
                                key.Receive());
    if (status == ERROR_FILE_NOT_FOUND) return kNoRestartMove;
    if (status != ERROR_SUCCESS) return kRestartMoveUnknown;
    DWORD type = REG_NONE;
    DWORD size = 0;
    status = RegQueryValueExA(key.Get(), kPendingMoves, nullptr, &type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND) return kNoRestartMove;
    if (status != ERROR_SUCCESS || size > kPendingMovesLimit) return kRestartMoveUnknown;
    // The system moves nothing from a value of another type (nor does it add to one).
    if (type != REG_MULTI_SZ) return kNoRestartMove;

    // Two terminators of our own after the data: whatever is stored, every string ends
    // inside the buffer.
    ScopedMemory memory(HeapAlloc(GetProcessHeap(), 0, size + 2));
    if (!memory.IsValid()) return kRestartMoveUnknown;
    char* list = static_cast<char*>(memory.Get());
    status = RegQueryValueExA(key.Get(), kPendingMoves, nullptr, &type,
                              reinterpret_cast<BYTE*>(list), &size);
    // Changed between the two calls: grown, gone or of another type.
    if (status != ERROR_SUCCESS || type != REG_MULTI_SZ) return kRestartMoveUnknown;
    list[size] = '\0';
    list[size + 1] = '\0';

    // Pairs of strings: the file to move, then where to, with "!" before it when an
    // existing file is replaced; an empty destination deletes.
    const char* end = list + size;
    for (const char* from = list; from < end;) {
        const char* to = from + strlen(from) + 1;
        if (to > end) break;
        if (to[0] == '!' && NamesPath(from, storedCopy) && NamesPath(to + 1, storedTarget))
            return kRestartMove;
        from = to + strlen(to) + 1;
    }
    return kNoRestartMove;
}

int VolumeAtRestart(const char* path) {
    PathBuffer root;
    bool unc = false;
    const char* volume = VolumeRoot(path, root, &unc);
    if (unc || GetDriveTypeA(volume) == DRIVE_REMOTE) return kVolumeNetwork;
    // A drive letter that subst made names a folder of another drive ("\??\C:\..."),
    // and exists only once somebody makes it again, after the system has moved files.
    if (volume != nullptr) {
        const char device[3] = {volume[0], ':', '\0'};
        PathBuffer target;
        if (QueryDosDeviceA(device, target, kPathSize) != 0 && strncmp(target, "\\??\\", 4) == 0)
            return kVolumeSubstituted;
    }
    return kVolumeThere;
}

bool SameDacl(PSECURITY_DESCRIPTOR a, PSECURITY_DESCRIPTOR b) {
    BOOL presentA = FALSE, presentB = FALSE, defaulted = FALSE;
    PACL aclA = nullptr;
    PACL aclB = nullptr;
    if (!GetSecurityDescriptorDacl(a, &presentA, &aclA, &defaulted) ||
        !GetSecurityDescriptorDacl(b, &presentB, &aclB, &defaulted) || !presentA || !presentB ||
        aclA == nullptr || aclB == nullptr)
        return false;
    SECURITY_DESCRIPTOR_CONTROL controlA = 0, controlB = 0;
    DWORD revision = 0;
    if (!GetSecurityDescriptorControl(a, &controlA, &revision) ||
        !GetSecurityDescriptorControl(b, &controlB, &revision) ||
        (controlA & SE_DACL_PROTECTED) != (controlB & SE_DACL_PROTECTED) ||
        aclA->AceCount != aclB->AceCount)
        return false;
    for (DWORD i = 0; i < aclA->AceCount; ++i) {
        void* aceA = nullptr;
        void* aceB = nullptr;
        if (!GetAce(aclA, i, &aceA) || !GetAce(aclB, i, &aceB)) return false;
        const WORD size = static_cast<ACE_HEADER*>(aceA)->AceSize;
        if (static_cast<ACE_HEADER*>(aceB)->AceSize != size || memcmp(aceA, aceB, size) != 0)
            return false;
    }
    return true;
}

int CopyDacl(const char* from, const char* to, bool exactly, StepFailure* failure) {
    PathBuffer root;
    bool unc = false;
    DWORD flags = 0;
    // A volume that cannot tell is taken for one with ACLs: they are then read, or their
    // failure reported.
    if (GetVolumeInformationA(VolumeRoot(from, root, &unc), nullptr, 0, nullptr, nullptr, &flags,
                              nullptr, 0) &&
        (flags & FS_PERSISTENT_ACLS) == 0) {
        return 1;
    }
    ScopedMemory wanted;
    if (!ReadDacl(from, &wanted, failure)) return 0;
    ScopedMemory own;
    StepFailure ownUnread;
    // Usually both only inherit from the folder: then nothing is set, and an account that
    // may change files but not their permissions can still replace the list. A copy whose
    // own DACL cannot be read is simply given the list's.
    if (!exactly && ReadDacl(to, &own, &ownUnread) && SameDacl(wanted.Get(), own.Get())) return 1;
    if (!SetFileSecurityA(to, DACL_SECURITY_INFORMATION, wanted.Get())) {
        failure->Set("SetFileSecurityA");
        return 0;
    }
    if (exactly && (!ReadDacl(to, &own, &ownUnread) || !SameDacl(wanted.Get(), own.Get()))) {
        failure->step = "checking the copy's DACL against the list's";
        failure->error = ownUnread.step != nullptr ? ownUnread.error : ERROR_INVALID_ACL;
        return 0;
    }
    return 1;
}
