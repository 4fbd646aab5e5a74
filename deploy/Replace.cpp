// Replacement: the installed list is replaced only when it is the superseded one, by a
// checked copy beside it that takes its place in one rename; when the list cannot be
// replaced now, that copy waits and the system moves it into place at the next start.
#include <windows.h>
#include <string.h>

#include "base/Files.h"
#include "base/Handles.h"
#include "base/Platform.h"
#include "base/Security.h"
#include "deploy/Deploy.h"
#include "deploy/Payload.h"
#include "deploy/RegionListPath.h"
#include "deploy/Names.h"
#include "deploy/Retry.h"
#include "deploy/RunLock.h"
#include "deploy/WaitingCopy.h"
#include "log/Logger.h"

namespace {

const char kReplaceTag[] = "Quorlen::FileReplace";
const char kVersionTag[] = "Quorlen::VersionCheck";
const char kSameDriveTag[] = "Quorlen::CopyFileToSameDrive";
// A region list is a few kilobytes: one larger than this is not read into memory.
const DWORD kListLimit = 16 * 1024 * 1024;
// What SetFileAttributesA can give a file; the staged file's other bits (encrypted,
// compressed) are its folder's, not its own.
const DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                  FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                  FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                                  FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

// Removes a copy that will never take the list's place, and with it the superseded list
// kept beside it (old, when given). A folder of that name is not ours and stays, and so
// does a copy that a move registered for the next start names, with the list kept for
// its undo: whichever run registered it, that move needs it.
void RemoveCopy(const char* copy, const char* target, const char* old = nullptr) {
    if (RestartMoveFor(copy, target) != kNoRestartMove) return;
    StepFailure unused;
    FreeName(copy, &unused);
    if (old != nullptr) FreeName(old, &unused);
}

// Whether the list is still where it was. A replacing rename on SMB1 (and on FAT) is a
// delete, then a rename: when the rename fails, the copy may be the only whole list left.
bool ListIsThere(const char* target) {
    const DWORD attributes = GetFileAttributesA(target);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

int CheckListDate(const char* path, SYSTEMTIME* utc, StepFailure* failure) {
    LOG_MAIN_TRACE("%s%s", kVersionTag, "- Entering");
    int result = kListUnreadable;
    // Read sharing only: a file that another program has open for writing fails here
    // and is left alone.
    ScopedHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_READONLY, nullptr));
    if (!file.IsValid()) {
        failure->Set("CreateFileA");
        LOG_ERROR("CreateFile Failed in IndividualFileCheck.");
    } else {
        FILETIME written;
        if (!GetFileTime(file.Get(), nullptr, nullptr, &written)) {
            failure->Set("GetFileTime");
            LOG_ERROR("GetFileTime Failed in IndividualFileCheck.");
        } else if (!FileTimeToSystemTime(&written, utc)) {
            failure->Set("FileTimeToSystemTime");
            LOG_ERROR("FileTimeToSystemTime Failed in IndividualFileCheck.");
        } else {
            // UTC on purpose: the superseded list carries this date wherever it is installed.
            result = utc->wYear == 2004 && utc->wMonth == 12 && utc->wDay == 3 ? kListSuperseded
                                                                              : kListOtherDate;
        }
        if (!file.Close()) LOG_ERROR("CloseHandle Failed in IndividualFileCheck.");
    }
    LOG_MAIN_TRACE("%s%s", kVersionTag, "- Exiting");
    return result;
}

namespace {

BOOL RegisterRestartMove(const char* copy, const char* target) {
    return MoveFileExA(copy, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT);
}

// The rename over the list failed and the list is gone (or cannot be seen): the copy is
// the only whole list left and is never removed. It takes the empty place now, or at the
// next start; else it waits for the next run, which finishes such a cut rename.
// registered: its move for the next start is there already (or cannot be made).
int KeepForGoneList(const char* target, const char* copy, bool registered, ReplaceReport* report) {
    // Never over a list: one that appeared meanwhile has a date that nobody checked.
    if (RetryWhileHeld([&] { return g_moveFileEx(copy, target, MOVEFILE_WRITE_THROUGH); })) {
        report->outcome = kReplaceDone;
        return 1;
    }
    report->failure.Set("MoveFileExA (into the list's empty place)");
    CopyText(report->waitingCopy, copy);
    const bool moves = registered ? RestartMoveFor(copy, target) == kRestartMove
                                  : VolumeAtRestart(target) == kVolumeThere &&
                                        RegisterRestartMove(copy, target);
    report->outcome = moves ? kReplaceWaiting : kReplaceListGone;
    return moves ? 1 : 0;
}

// A step after the whole copy was made failed (*report names it). With the list there,
// the installation is left exactly as it was. Without it, whoever took it, the copy is
// all that is left of the list and stays for the next run.
// The list kept beside it (old, when there is one yet) goes with the copy.
int GiveUp(const char* target, const char* copy, const char* old, bool readOnly,
           ReplaceReport* report) {
    if (!ListIsThere(target)) {
        report->outcome = kReplaceListGone;
        CopyText(report->waitingCopy, copy);
        return 0;
    }
    RemoveCopy(copy, target, old);
    if (readOnly) SetReadOnly(target, true);
    return 0;
}

// Gives the copy the list's DACL before it takes the list's place. Where this machine
// keeps the permissions they are set exactly and checked; on a network volume the server
// decides them and may refuse the call, so they are set only where they differ.
int GiveListDacl(const char* target, const char* copy, StepFailure* failure) {
    return CopyDacl(target, copy, VolumeAtRestart(target) != kVolumeNetwork, failure);
}

// The names under which the steps of writing a file beside the list fail.
struct WriteSteps {
    const char* create;
    const char* write;
    const char* time;
    const char* flush;
    const char* check;
    const char* attributes;
};
const WriteSteps kCopySteps = {
    "CreateFileA (the copy)", "WriteFile (the copy)", nullptr, "FlushFileBuffers (the copy)",
    "checking the copy against the payload", "SetFileAttributesA (the copy)"};
const WriteSteps kOldSteps = {
    "CreateFileA (.old)", "WriteFile (.old)", "SetFileTime (.old)", "FlushFileBuffers (.old)",
    "checking .old against the list", "SetFileAttributesA (.old)"};

// Writes size bytes to path, beside the list at target, as a new file, flushed to disk,
// with attributes and (when given) the last-write time *written, and checks it on disk:
// 1, or 0 with no file of this call left and *failure named by steps.
int WriteChecked(const char* path, const char* target, const void* bytes, DWORD size,
                 DWORD attributes, const FILETIME* written, const WriteSteps& steps,
                 StepFailure* failure) {
    // A file of our own, never one that is already there: opening a hard link planted
    // under the name would write wherever it points. What cannot be set aside makes
    // creation fail.
    RemoveCopy(path, target);
    // Only the run's account and SYSTEM until it has the list's own permissions: in a
    // folder where users may create files, the folder's grants would let them open the
    // fresh file for writing, and keep that handle. On a network volume the server
    // decides.
    OwnSecurity own;
    SECURITY_ATTRIBUTES* security = nullptr;
    if (VolumeAtRestart(target) != kVolumeNetwork) {
        if (!MakeOwnSecurity(&own, kForRunAccount, GENERIC_ALL, false)) {
            failure->Set("building the copy's DACL");
            return 0;
        }
        security = &own.attributes;
    }
    ScopedHandle file(CreateFileA(path, GENERIC_WRITE, 0, security, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        failure->Set(steps.create);
        return 0;
    }
    DWORD done = 0;
    bool whole = false;
    if (!WriteFile(file.Get(), bytes, size, &done, nullptr) || done != size) {
        failure->Set(steps.write);
    } else if (written != nullptr && !SetFileTime(file.Get(), nullptr, nullptr, written)) {
        failure->Set(steps.time);
    } else if (!FlushFileBuffers(file.Get())) {
        // On disk before anything relies on it: the lazy writer would leave a power cut
        // a short or zero-filled file. Flushed through the handle that wrote it, since a
        // scanner may hold the file as soon as it is closed.
        failure->Set(steps.flush);
    } else {
        whole = true;
    }
    file.Close();
    // Only a file that equals what it must hold may ever take the list's place; anything
    // less is removed again (a full volume leaves an empty or short file).
    BY_HANDLE_FILE_INFORMATION unused;
    if (whole) {
        if (!FileHolds(path, bytes, size, &unused)) {
            failure->Set(steps.check);
        } else if (!SetFileAttributesA(path,
                                       attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL)) {
            failure->Set(steps.attributes);
        } else {
            return 1;
        }
    }
    RemoveCopy(path, target);
    return 0;
}

// Keeps the list at target beside it as vexo_regions.txt.old (its path in old): its
// bytes as read, its last-write time, attributes and DACL. One there already that holds
// those bytes with that time, under one name, is kept as it is. 1, or 0 with no
// vexo_regions.txt.old left and *failure naming the step.
int KeepOldList(const char* target, PathBuffer& old, StepFailure* failure) {
    ScopedMemory bytes;
    BY_HANDLE_FILE_INFORMATION list, kept;
    // The list's path fits MAX_PATH, and so does this name.
    BesideList(target, kKeptSuffix, old);
    if (!ReadWholeFile(target, kListLimit, &bytes, &list)) {
        failure->Set("reading the region list");
        return 0;
    }
    const DWORD size = list.nFileSizeLow;
    const FILETIME* written = &list.ftLastWriteTime;
    const bool same = FileHolds(old, bytes.Get(), size, &kept) && kept.nNumberOfLinks == 1 &&
                      memcmp(&kept.ftLastWriteTime, written, sizeof *written) == 0;
    if (!same && !WriteChecked(old, target, bytes.Get(), size,
                               list.dwFileAttributes & kSettableAttributes, written, kOldSteps,
                               failure))
        return 0;
    // As the copy gets them, and for the same reason: the list's own permissions may be
    // what lets the device software write it.
    if (GiveListDacl(target, old, failure)) return 1;
    RemoveCopy(old, target);
    return 0;
}

// The part of a replacement that runs while the search is open: the date test, the
// copy beside the list, and the step into place or its reboot-time fallback. The
// installed list is never written: it is the old list until a rename in its own
// folder makes it the new one, whole.
int ReplaceFound(const char* target, PathBuffer& source, int* replaced, ReplaceReport* report) {
    StepFailure* failure = &report->failure;
    switch (CheckListDate(target, &report->date, failure)) {
    case kListSuperseded:
        break;
    case kListUnreadable:
        report->outcome = kReplaceUnreadable;
        LOG_ERROR("%s %s", kReplaceTag, "Version of File is Equal To or Higher");
        *replaced = 0;
        return 0;
    case kListOtherDate:
        // A list of another date that already is the new one: the update was done, by
        // an earlier run or otherwise. The user's box and the records stay as they are.
        report->outcome = FileHoldsPayload(target) ? kReplaceAlreadyNew : kReplaceOtherDate;
        LOG_ERROR("%s %s", kReplaceTag, "Version of File is Equal To or Higher");
        *replaced = 0;
        return 0;
    }
    // The date alone makes this the superseded list: whatever follows, the update
    // applies to this PC.
    *replaced = 1;
    report->outcome = kReplaceFailed;

    DWORD attributes = GetFileAttributesA(target);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        failure->Set("GetFileAttributesA");
        LOG_ERROR("%s%s", kReplaceTag, "GetFileAttributes");
        return 0;
    }

    // The new list first waits whole, on disk and checked, beside the old one. A copy
    // that an earlier run left there with its move registered belongs to that move: it
    // is taken as it is, never rewritten, registered again or removed.
    PathBuffer copy;
    const bool earlier = BesideList(target, kWaitingSuffix, copy) && FileHoldsPayload(copy) &&
                         RestartMoveFor(copy, target) == kRestartMove;
    if (earlier) {
        CopyText(source, copy);
    } else if (!CopyFileToSameDrive(target, source, failure)) {
        LOG_ERROR("%s%s", kReplaceTag, "CopyFileToSameDrive failed");
        return 0;
    }

    // The list that the new one supersedes stays beside it, whole, for an undo that puts
    // it back in one rename; without it nothing is replaced. Taken before the bit is
    // cleared: it carries the list's attributes as they are.
    PathBuffer old;
    if (!KeepOldList(target, old, failure)) {
        LOG_ERROR("%s%s failed", kReplaceTag, failure->step);
        return GiveUp(target, source, nullptr, false, report);
    }

    // The bit is cleared only now that the new list is about to take the list's place,
    // and put back when it does not; and only on a list with one name: one that is also
    // another file's name keeps its bit, and the rename over it then fails safely.
    const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly && !SetReadOnly(target, false)) {
        failure->Set("SetFileAttributesA");
        LOG_ERROR("%s%s", kReplaceTag, "SetFileAttribute failed");
        return GiveUp(target, source, old, false, report);
    }

    // A rename gives the new list the copy's permissions, inherited from the folder;
    // the old list's own may be what lets the device software write it. An earlier
    // run's copy got them when it was made. Taken after the bit is cleared: where the
    // permissions carry the read-only bit too, the new list must not inherit it.
    if (!earlier && !GiveListDacl(target, source, failure)) {
        LOG_ERROR("%s%s failed", kReplaceTag, failure->step);
        return GiveUp(target, source, old, readOnly, report);
    }

    // One rename within the folder: the list is the old one or the new one, never a
    // part of either, and it takes the copy's (the staged file's) attributes. A scanner
    // that still holds the fresh copy is waited for.
    if (RetryWhileHeld([&] {
            return g_moveFileEx(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        })) {
        report->outcome = kReplaceDone;
        return 1;
    }
    report->renameError = GetLastError();

    // Most often another program holds the list; whatever the cause, the checked copy
    // already waits beside it for the system to move it at the next start.
    LOG_ERROR("%s%s%s", kReplaceTag, target,
              "Copying file failed since  file is in use by other applications");
    if (!ListIsThere(target)) return KeepForGoneList(target, source, earlier, report);
    const int volume = VolumeAtRestart(target);
    if (volume != kVolumeThere) {
        // The system moves files at the next start before the network is up, and before
        // anybody makes a subst drive again: such a move would never happen.
        failure->step = volume == kVolumeNetwork
                            ? "registering the restart move onto a network volume"
                            : "registering the restart move onto a subst drive";
        failure->error = ERROR_NOT_SUPPORTED;
    } else if (earlier || RegisterRestartMove(source, target)) {
        report->outcome = kReplaceWaiting;
        CopyText(report->waitingCopy, source);
        return 1;
    } else {
        failure->Set("MoveFileExA (delayed until the restart)");
    }
    LOG_ERROR("%s%s%s", kReplaceTag, target, "MoveFileEx failed");
    // Nothing will ever move it.
    return GiveUp(target, source, old, readOnly, report);
}

// No list, but its whole copy beside it: a replacing rename on FAT (a delete, then a
// rename) that a power cut split. Finished, it is the replacement it was meant to be.
// 1 when the copy is now the list; 0 when there was no such copy or it could not move.
int FinishCutRename(const char* target, int* replaced, ReplaceReport* report) {
    PathBuffer copy;
    if (!BesideList(target, kWaitingSuffix, copy) || !FileHoldsPayload(copy)) return 0;
    *replaced = 1;
    // Never over a list: one that appeared meanwhile has a date that nobody checked.
    if (MoveFileExA(copy, target, MOVEFILE_WRITE_THROUGH)) {
        report->outcome = kReplaceDone;
        return 1;
    }
    report->failure.Set("MoveFileExA");
    report->outcome = kReplaceFailed;
    return 0;
}

int Replace(PathBuffer& dataFolder, int* replaced, ReplaceReport* report) {
    PathBuffer source;
    if (!RegionListPath(source, g_tempFolder)) {
        LOG_MAIN_TRACE("%s %s  %s", kReplaceTag, "PathAppend Failed for :", source);
        return 0;
    }
    // The caller's buffer is extended in place; make sure it ends inside itself.
    dataFolder[kPathSize - 1] = '\0';
    if (!AppendPath(dataFolder, kRegionListName)) {
        LOG_MAIN_TRACE("%s %s  %s", kReplaceTag, "PathAppend Failed for :", dataFolder);
        return 0;
    }

    // From the date test to the end of the replacement, one run at a time; never across
    // a box. Whoever holds the name for ever delays the update, and stops nothing.
    ScopedOwnedMutex lock;
    TakeRunLock(&lock, kReplaceTag);

    WIN32_FIND_DATAA found;
    ScopedFind search(FindFirstFileA(dataFolder, &found));
    if (!search.IsValid()) {
        const DWORD error = GetLastError();
        *replaced = 0;
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
            report->outcome = kReplaceAbsent;
            // Only a folder that says it has no list may have a cut rename to finish.
            if (error == ERROR_FILE_NOT_FOUND && FinishCutRename(dataFolder, replaced, report))
                return 1;
        } else {
            // Denied, not ready, the network: whether there is a list is not known, so
            // nothing may be put in its place.
            report->outcome = kReplaceNotSearched;
            report->failure.step = "FindFirstFileA";
            report->failure.error = error;
        }
        LOG_ERROR("%s %s", kReplaceTag, "The Required File is not present in the Destination");
        return 0;
    }
    int result = ReplaceFound(dataFolder, source, replaced, report);
    if (!search.Close()) LOG_ERROR("FindClose Failed in CheckFilesPresence.");
    return result;
}

// Writes the payload to copy as a new file with the staged file's attributes and checks
// it on disk: 1, or 0 with no copy of this call left.
int WriteCopy(const char* copy, const char* target, const char* staged, StepFailure* failure) {
    // The staged file lends its attributes, as a copy of it would carry them, but not
    // its content: changed, or encrypted in the temp folder, it must never become the
    // list.
    const DWORD stagedAttributes = GetFileAttributesA(staged);
    if (stagedAttributes == INVALID_FILE_ATTRIBUTES) {
        failure->Set("GetFileAttributesA (the staged file)");
        return 0;
    }
    const void* bytes = nullptr;
    DWORD size = 0;
    if (LoadPayload(&bytes, &size) != kPayloadLoaded) {
        failure->Set("loading the payload resource");
        return 0;
    }
    return WriteChecked(copy, target, bytes, size, stagedAttributes & kSettableAttributes, nullptr,
                        kCopySteps, failure);
}

}  // namespace

int FileReplace(PathBuffer& dataFolder, int* replaced, ReplaceReport* report) {
    LOG_MAIN_TRACE("%s %s", kReplaceTag, "- Entering");
    ReplaceReport unused;
    if (report == nullptr) report = &unused;
    *report = ReplaceReport();
    int result = Replace(dataFolder, replaced, report);
    LOG_MAIN_TRACE("%s %s", kReplaceTag, "- Exiting");
    return result;
}

bool VersionCheck(const char* path) {
    SYSTEMTIME utc;
    StepFailure failure;
    return CheckListDate(path, &utc, &failure) == kListSuperseded;
}

int CopyFileToSameDrive(const char* target, PathBuffer& source, StepFailure* failure) {
    // The copy waits in the target's own folder: on its volume by construction, with the
    // installation's permissions, so nobody who cannot write the list can touch it
    // before the restart.
    StepFailure unused;
    if (failure == nullptr) failure = &unused;
    PathBuffer copy;
    // A cut path would name another file: count it as a failed copy.
    if (!BesideList(target, kWaitingSuffix, copy)) {
        failure->step = "forming the copy's path";
        failure->error = ERROR_FILENAME_EXCED_RANGE;
    } else if (WriteCopy(copy, target, source, failure)) {
        CopyText(source, copy);
        return 1;
    }
    LOG_ERROR("%s%s", kSameDriveTag, "Copying file failed");
    OutputDebugStringA("ERROR: Quorlen :Could not copy the file to the same drive");
    return 0;
}
