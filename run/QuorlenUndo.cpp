// The undo: puts back the region list that the update replaced. The updater keeps it
// beside the new one as vexo_regions.txt.old, flushed, with its bytes, date, attributes
// and DACL, so one rename over the list makes it the list again, whole. Its exit code is
// the status script's: 0 put back, 2 nothing to undo, 1603 not put back (the list as it
// was), 1 could not tell. It shows no box, writes one event (kOutcomeUndo) and logs to the
// updater's log. Arguments are ignored.
#include <windows.h>
#include <commctrl.h>

#include <new>

#include "base/Files.h"
#include "base/Handles.h"
#include "deploy/Deploy.h"
#include "deploy/Names.h"
#include "deploy/Retry.h"
#include "deploy/RunLock.h"
#include "deploy/WaitingCopy.h"
#include "log/Logger.h"
#include "run/InstallLocation.h"
#include "run/Outcome.h"

namespace {

const char kTag[] = "Quorlen::Undo";

enum UndoCode { kUndone = 0, kCouldNotTell = 1, kNothingToUndo = 2, kNotPutBack = 1603 };

struct UndoOutcome {
    int code = kCouldNotTell;
    char text[3 * kPathSize] = {};
};

int Finish(UndoOutcome* outcome, int code, const char* format, ...)
    __attribute__((format(ms_printf, 3, 4)));
int Finish(UndoOutcome* outcome, int code, const char* format, ...) {
    outcome->code = code;
    va_list args;
    va_start(args, format);
    FormatTextV(outcome->text, sizeof outcome->text, format, args);
    va_end(args);
    return code;
}

int NotPutBack(UndoOutcome* outcome, const StepFailure& failure, const char* target) {
    return Finish(outcome, kNotPutBack,
                  "The old region list could not be put back: %s failed with error %lu. The "
                  "region list is as it was: %s.",
                  failure.step, failure.error, target);
}

// The undo in the Data folder that the registry names, once a run at a time.
int Undo(UndoOutcome* outcome) {
    PathBuffer target = {};
    if (GetInstalledPath(target) != 1 || !KeepInstallDirectory(target) ||
        !AppendPath(target, "Data") || !AppendPath(target, kRegionListName))
        return Finish(outcome, kNothingToUndo,
                      "There is nothing to undo: there is no installation of the device "
                      "software with a region list.");
    // The list's path fits MAX_PATH, and so do these.
    PathBuffer old, copy;
    BesideList(target, kKeptSuffix, old);
    BesideList(target, kWaitingSuffix, copy);

    ScopedOwnedMutex lock;
    TakeRunLock(&lock, kTag);

    StepFailure failure;
    const DWORD kept = GetFileAttributesA(old);
    if (kept == INVALID_FILE_ATTRIBUTES) {
        failure.Set("GetFileAttributesA");
        if (failure.error != ERROR_FILE_NOT_FOUND && failure.error != ERROR_PATH_NOT_FOUND)
            return Finish(outcome, kCouldNotTell,
                          "Whether an old region list is kept could not be told: %s failed "
                          "with error %lu for %s.",
                          failure.step, failure.error, old);
    }
    if (kept == INVALID_FILE_ATTRIBUTES || (kept & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return Finish(outcome, kNothingToUndo,
                      "There is nothing to undo: no old region list is kept as %s.", old);
    SYSTEMTIME date;
    switch (CheckListDate(old, &date, &failure)) {
    case kListSuperseded:
        break;
    case kListOtherDate:
        return Finish(outcome, kNothingToUndo,
                      "There is nothing to undo: %s was last written on %04u-%02u-%02u (UTC), "
                      "not on 2004-12-03.",
                      old, static_cast<unsigned>(date.wYear), static_cast<unsigned>(date.wMonth),
                      static_cast<unsigned>(date.wDay));
    default:
        return Finish(outcome, kCouldNotTell,
                      "The date of %s could not be read: %s failed with error %lu.", old,
                      failure.step, failure.error);
    }

    // The waiting new list goes first, even though a move for the next start names it:
    // that move then finds nothing to move. While it stays, the restart would still
    // install the new list.
    if (!FreeName(copy, &failure)) return NotPutBack(outcome, failure, target);

    const DWORD attributes = GetFileAttributesA(target);
    const bool readOnly =
        attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
    if (readOnly && !SetReadOnly(target, false)) {
        failure.Set("SetFileAttributesA");
        return NotPutBack(outcome, failure, target);
    }
    // One rename within the folder: the list is the new one or the old one, whole, and
    // takes the old one's attributes and DACL with it. A scanner is waited for.
    if (!RetryWhileHeld([&] {
            return MoveFileExA(old, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
        })) {
        failure.Set("MoveFileExA");
        if (readOnly) SetReadOnly(target, true);
        return NotPutBack(outcome, failure, target);
    }
    return Finish(outcome, kUndone, "The old region list was put back: %s.", target);
}

WORD UndoType(int code) {
    switch (code) {
    case kUndone:
    case kNothingToUndo:
        return EVENTLOG_INFORMATION_TYPE;
    default:
        return EVENTLOG_ERROR_TYPE;
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // No system box may hold a run where nobody watches (see the updater's WinMain).
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    // It shows no window; its manifest binds the version 6 controls all the same, and a
    // program that binds them loads them.
    InitCommonControls();
    g_logger = new (std::nothrow) Logger("Olvane_Quorlenlog_Zindra", "PatchUpdate");
    LOG_MAIN_TRACE("%s %s", kTag, "- Entering");

    UndoOutcome outcome;
    Undo(&outcome);
    if (outcome.code != kUndone && outcome.code != kNothingToUndo)
        LOG_ERROR("%s %s", kTag, outcome.text);
    StepFailure failure;
    if (!ReportEvent(UndoType(outcome.code), kOutcomeUndo, outcome.text, &failure))
        LOG_ERROR("%s %s failed with error %lu", kTag, failure.step, failure.error);

    LOG_MAIN_TRACE("%s %s", kTag, "- Exiting");
    delete g_logger;
    g_logger = nullptr;
    return outcome.code;
}
