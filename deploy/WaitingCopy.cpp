#include "deploy/WaitingCopy.h"

#include <windows.h>
#include <mbstring.h>
#include <string.h>

#include <memory>
#include <new>

#include "base/Handles.h"

namespace {

const char kWaitingSuffix[] = ".new";
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
    const size_t share = ThroughSeparator(path, strnlen(path, kPathSize), 4);
    if (share != 0) {
        FormatText(root, sizeof root, "%.*s", static_cast<int>(share), path);
    } else {
        FormatText(root, sizeof root, "%s\\", path);
    }
    return root;
}

// An entry of the list of moves names path: "\??\" and the path, in any case.
bool NamesPath(const char* entry, const char* path) {
    return strncmp(entry, "\\??\\", 4) == 0 &&
           _mbsicmp(reinterpret_cast<const unsigned char*>(entry + 4),
                    reinterpret_cast<const unsigned char*>(path)) == 0;
}

}  // namespace

int WaitingCopyPath(const char* target, PathBuffer& copy) {
    const size_t length = strnlen(target, kPathSize);
    const size_t folder = ThroughSeparator(target, length, 0);
    return length < kPathSize &&
           FormatText(copy, sizeof copy, "%.*s%s%s", static_cast<int>(folder), target,
                      kRegionListName, kWaitingSuffix);
}

int RestartMoveFor(const char* copy, const char* target) {
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
    std::unique_ptr<char[]> list(new (std::nothrow) char[size + 2]);
    if (!list) return kRestartMoveUnknown;
    status = RegQueryValueExA(key.Get(), kPendingMoves, nullptr, &type,
                              reinterpret_cast<BYTE*>(list.get()), &size);
    // Changed between the two calls: grown, gone or of another type.
    if (status != ERROR_SUCCESS || type != REG_MULTI_SZ) return kRestartMoveUnknown;
    list[size] = '\0';
    list[size + 1] = '\0';

    // Pairs of strings: the file to move, then where to, with "!" before it when an
    // existing file is replaced; an empty destination deletes.
    const char* end = list.get() + size;
    for (const char* from = list.get(); from < end;) {
        const char* to = from + strlen(from) + 1;
        if (to > end) break;
        if (to[0] == '!' && NamesPath(from, copy) && NamesPath(to + 1, target)) return kRestartMove;
        from = to + strlen(to) + 1;
    }
    return kNoRestartMove;
}

bool OnNetworkVolume(const char* path) {
    PathBuffer root;
    bool unc = false;
    const char* volume = VolumeRoot(path, root, &unc);
    return unc || GetDriveTypeA(volume) == DRIVE_REMOTE;
}

int CopyDacl(const char* from, const char* to, StepFailure* failure) {
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
    const SECURITY_INFORMATION dacl = DACL_SECURITY_INFORMATION;
    DWORD needed = 0;
    if (!GetFileSecurityA(from, dacl, nullptr, 0, &needed) &&
        GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        failure->Set("GetFileSecurityA");
        return 0;
    }
    std::unique_ptr<BYTE[]> descriptor(new (std::nothrow) BYTE[needed]);
    if (!descriptor) {
        failure->step = "GetFileSecurityA";
        failure->error = ERROR_NOT_ENOUGH_MEMORY;
        return 0;
    }
    if (!GetFileSecurityA(from, dacl, descriptor.get(), needed, &needed)) {
        failure->Set("GetFileSecurityA");
        return 0;
    }
    if (!SetFileSecurityA(to, dacl, descriptor.get())) {
        failure->Set("SetFileSecurityA");
        return 0;
    }
    return 1;
}
