// Region list deployment: stages the payload that the executable carries in the temp
// folder, replaces the installed list when it is the superseded one (last written on
// 2004-12-03, UTC), and removes the staged copy.
#ifndef QUORLEN_DEPLOY_DEPLOY_H
#define QUORLEN_DEPLOY_DEPLOY_H

#include <windows.h>

#include "base/Text.h"

// The file name of the region list, staged and installed alike.
constexpr const char kRegionListName[] = "vexo_regions.txt";

// The program-wide temp folder: filled once by the update run (GetTempPathA), read here.
extern PathBuffer g_tempFolder;

// The platform call that failed, and the error it left: what the run reports of a
// failure. step is null when nothing failed.
struct StepFailure {
    const char* step = nullptr;
    DWORD error = 0;

    // Names the call that just failed and takes its error before anything can change it.
    void Set(const char* failedStep) {
        error = GetLastError();
        step = failedStep;
    }
};

// How a replacement ended, for the run's outcome record: the flag alone decides the box
// of a list that could be dated, this tells the rest.
enum ReplaceOutcome {
    kReplaceNoPath,       // a path could not be formed
    kReplaceAbsent,       // no list in the Data folder
    kReplaceNotSearched,  // the Data folder could not be searched: failure
    kReplaceOtherDate,    // the list is of another date: date
    kReplaceAlreadyNew,   // the list is of another date and already the new one: date
    kReplaceUnreadable,   // the list is there, but its date cannot be read: failure
    kReplaceDone,         // the list is the new one
    kReplaceWaiting,      // the new list waits beside it (waitingCopy) for the next start
    kReplaceFailed,       // the date matched, the list is as it was: failure
    kReplaceListGone,     // the rename failed and the list is gone; its copy waits (waitingCopy)
                          // for the next run: failure
};
struct ReplaceReport {
    int outcome = kReplaceNoPath;
    SYSTEMTIME date = {};   // kReplaceOtherDate, kReplaceAlreadyNew: last-write date, UTC
    StepFailure failure;    // kReplaceNotSearched, kReplaceUnreadable, kReplaceFailed
    // The error of the rename into place, when it was tried and failed (kReplaceWaiting,
    // kReplaceFailed); 0 when it was not tried.
    DWORD renameError = 0;
    PathBuffer waitingCopy = {};  // kReplaceWaiting, kReplaceListGone
};

// Makes a folder of the run's own, with a name nobody can guess, in folder (a temp
// folder with its trailing backslash) and puts its path, with a trailing backslash, in
// folder: 1. Else 0 with folder unchanged, and *failure names the call that failed.
int MakeStagingFolder(PathBuffer& folder, StepFailure* failure);

// Removes the (empty) staging folder: 1, or 0 after an Error record.
int RemoveStagingFolder(const char* folder);

// Writes the payload resource to g_tempFolder\vexo_regions.txt: 1 when all of it was
// written, else 0, and *failure (when given) names the call that failed.
int ExtractTXT(StepFailure* failure = nullptr);

// Deletes folder\vexo_regions.txt: nonzero when deleted, else 0.
int DeleteFilesFromTemp(const char* folder);

// Appends vexo_regions.txt to dataFolder in place and, when that file's date matches,
// replaces it: a checked copy of the list is made beside it, the list itself is kept
// beside it as vexo_regions.txt.old (its bytes, date, attributes and DACL; without it
// nothing is replaced), the copy is given the list's DACL and renamed over it, or, when
// the rename fails (the list in use), that copy's move is registered for the next start
// (never onto a network volume or a subst drive, where it cannot happen). A copy whose
// move an earlier run registered is taken as it is. The installed list is never written,
// only replaced whole; an absent one (the search says so, not merely fails) whose whole
// copy waits beside it (a rename cut short) is renamed into place.
// *replaced: 1 as soon as the date matched or such a copy was found; 0 when the file is
// absent, cannot be looked for, or its date differs or cannot be read; untouched when a
// path cannot be formed.
// Result: 1 when the file was replaced or its replacement scheduled, else 0, with the
// installation as it was.
// *report (when given) tells how it ended.
int FileReplace(PathBuffer& dataFolder, int* replaced, ReplaceReport* report = nullptr);

// True only when the file's last-write date is 2004-12-03 in UTC.
bool VersionCheck(const char* path);

enum ListDate { kListSuperseded, kListOtherDate, kListUnreadable };

// VersionCheck's test and records, with what it found: kListSuperseded (2004-12-03) or
// kListOtherDate, with *utc the last-write date in UTC; kListUnreadable when the file
// cannot be opened for reading with read sharing only (another program may be writing
// it) or its date read, with *failure naming the call that failed.
int CheckListDate(const char* path, SYSTEMTIME* utc, StepFailure* failure);

// Writes the payload to vexo_regions.txt.new in target's folder (the current folder
// when target has no backslash) as a new file, flushed to disk, with the attributes of
// the staged file that source names, and checks it against the payload. A file of that name is
// deleted first, unless a move registered for the next start names it. On success
// source holds the copy's path and the result is 1. Else 0, and no copy of this call is
// left; *failure (when given) names the call that failed.
int CopyFileToSameDrive(const char* target, PathBuffer& source, StepFailure* failure = nullptr);

#endif
