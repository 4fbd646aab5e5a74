// Replacement: the installed list is replaced only when it is the superseded one, by a
// checked copy beside it that takes its place in one rename; when the list cannot be
// replaced now, that copy waits and the system moves it into place at the next start.
#include <windows.h>
#include <string.h>

#include "base/Handles.h"
#include "deploy/Deploy.h"
#include "deploy/Payload.h"
#include "deploy/RegionListPath.h"
#include "log/Logger.h"

namespace {

const char kReplaceTag[] = "Quorlen::FileReplace";
const char kVersionTag[] = "Quorlen::VersionCheck";
const char kSameDriveTag[] = "Quorlen::CopyFileToSameDrive";
// The copy that waits beside the installed list for the restart: vexo_regions.txt.new.
const char kWaitingSuffix[] = ".new";

// Removes a copy that will never take the list's place. A read-only bit (taken over
// from a staged file that someone changed) does not keep it; a folder of that name is
// not ours and stays.
void RemoveCopy(const char* copy) {
    DWORD attributes = GetFileAttributesA(copy);
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) return;
    if (attributes & FILE_ATTRIBUTE_READONLY)
        SetFileAttributesA(copy, attributes & ~FILE_ATTRIBUTE_READONLY);
    DeleteFileA(copy);
}

// The platform call that failed, with the error it left, taken before anything else
// can change it.
void Fail(StepFailure* failure, const char* step) {
    failure->error = GetLastError();
    failure->step = step;
}

enum class ListDate { Superseded, Other, Unreadable };

// The date test with VersionCheck's records; *utc is the list's date when it could be
// read, *failure the call that failed when not.
ListDate CheckListDate(const char* path, SYSTEMTIME* utc, StepFailure* failure) {
    LOG_MAIN_TRACE("%s%s", kVersionTag, "- Entering");
    ListDate result = ListDate::Unreadable;
    // Read sharing only: a file that another program has open for writing fails here
    // and is left alone.
    ScopedHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_READONLY, nullptr));
    if (!file.IsValid()) {
        Fail(failure, "CreateFileA");
        LOG_ERROR("CreateFile Failed in IndividualFileCheck.");
    } else {
        FILETIME written;
        if (!GetFileTime(file.Get(), nullptr, nullptr, &written)) {
            Fail(failure, "GetFileTime");
            LOG_ERROR("GetFileTime Failed in IndividualFileCheck.");
        } else if (!FileTimeToSystemTime(&written, utc)) {
            Fail(failure, "FileTimeToSystemTime");
            LOG_ERROR("FileTimeToSystemTime Failed in IndividualFileCheck.");
        } else {
            // UTC on purpose: the superseded list carries this date wherever it is installed.
            result = utc->wYear == 2004 && utc->wMonth == 12 && utc->wDay == 3 ? ListDate::Superseded
                                                                              : ListDate::Other;
        }
        if (!file.Close()) LOG_ERROR("CloseHandle Failed in IndividualFileCheck.");
    }
    LOG_MAIN_TRACE("%s%s", kVersionTag, "- Exiting");
    return result;
}

// The part of a replacement that runs while the search is open: the date test, the
// copy beside the list, and the step into place or its reboot-time fallback. The
// installed list is never written: it is the old list until a rename in its own
// folder makes it the new one, whole.
int ReplaceFound(const char* target, PathBuffer& source, int* replaced, ReplaceReport* report) {
    StepFailure* failure = &report->failure;
    switch (CheckListDate(target, &report->date, failure)) {
    case ListDate::Superseded:
        break;
    case ListDate::Unreadable:
        report->outcome = kReplaceUnreadable;
        LOG_ERROR("%s %s", kReplaceTag, "Version of File is Equal To or Higher");
        *replaced = 0;
        return 0;
    case ListDate::Other:
        report->outcome = kReplaceOtherDate;
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
        Fail(failure, "GetFileAttributesA");
        LOG_ERROR("%s%s", kReplaceTag, "GetFileAttributes");
        return 0;
    }

    // The new list first waits whole, on disk and checked, beside the old one.
    if (!CopyFileToSameDrive(target, source, failure)) {
        LOG_ERROR("%s%s", kReplaceTag, "CopyFileToSameDrive failed");
        return 0;
    }

    // The bit is cleared only now that the new list is about to take the list's place,
    // and put back when it does not.
    const bool readOnly = (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly && !SetFileAttributesA(target, attributes & ~FILE_ATTRIBUTE_READONLY)) {
        Fail(failure, "SetFileAttributesA");
        LOG_ERROR("%s%s", kReplaceTag, "SetFileAttribute failed");
        RemoveCopy(source);
        return 0;
    }

    // One rename within the folder: the list is the old one or the new one, never a
    // part of either, and it takes the copy's (the staged file's) attributes.
    if (MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        report->outcome = kReplaceDone;
        return 1;
    }

    // Most often another program holds the list; whatever the cause, the checked copy
    // already waits beside it for the system to move it at the next start.
    LOG_ERROR("%s%s%s", kReplaceTag, target,
              "Copying file failed since  file is in use by other applications");
    if (!MoveFileExA(source, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT)) {
        Fail(failure, "MoveFileExA (delayed until the restart)");
        LOG_ERROR("%s%s%s", kReplaceTag, target, "MoveFileEx failed");
        // Nothing will ever move it: leave the installation exactly as it was.
        RemoveCopy(source);
        if (readOnly) SetFileAttributesA(target, attributes);
        return 0;
    }
    report->outcome = kReplaceWaiting;
    CopyText(report->waitingCopy, source);
    return 1;
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

    WIN32_FIND_DATAA found;
    ScopedFind search(FindFirstFileA(dataFolder, &found));
    if (!search.IsValid()) {
        LOG_ERROR("%s %s", kReplaceTag, "The Required File is not present in the Destination");
        report->outcome = kReplaceAbsent;
        *replaced = 0;
        return 0;
    }
    int result = ReplaceFound(dataFolder, source, replaced, report);
    if (!search.Close()) LOG_ERROR("FindClose Failed in CheckFilesPresence.");
    return result;
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
    return CheckListDate(path, &utc, &failure) == ListDate::Superseded;
}

int CopyFileToSameDrive(const char* target, PathBuffer& source, StepFailure* failure) {
    // The copy waits in the target's own folder: on its volume by construction, with the
    // installation's permissions, so nobody who cannot write the list can touch it
    // before the restart. A target without a folder puts it in the current one.
    const size_t length = strnlen(target, kPathSize);
    size_t folderLength = 0;
    for (size_t i = 0; i < length; ++i) {
        if (target[i] == '\\') {
            folderLength = i + 1;
        } else if (IsDBCSLeadByteEx(CP_ACP, static_cast<BYTE>(target[i]))) {
            ++i;  // a trail byte may look like a backslash in a double-byte code page
        }
    }
    PathBuffer copy;
    int formed = length < kPathSize &&
                 FormatText(copy, sizeof copy, "%.*s%s%s", static_cast<int>(folderLength),
                            target, kRegionListName, kWaitingSuffix);
    StepFailure unused;
    if (failure == nullptr) failure = &unused;
    // A cut path would name another file: count it as a failed copy.
    if (!formed) {
        failure->step = "forming the copy's path";
        failure->error = ERROR_FILENAME_EXCED_RANGE;
    } else {
        // Only a copy that equals the payload, on disk, may ever take the list's place;
        // anything less is removed again (a full volume leaves an empty or short file).
        if (!CopyFileA(source, copy, FALSE)) {
            Fail(failure, "CopyFileA");
        } else if (!FileHoldsPayload(copy)) {
            Fail(failure, "checking the copy against the payload");
        } else {
            CopyText(source, copy);
            return 1;
        }
        RemoveCopy(copy);
    }
    LOG_ERROR("%s%s", kSameDriveTag, "Copying file failed");
    OutputDebugStringA("ERROR: Quorlen :Could not copy the file to the same drive");
    return 0;
}
