// The one record of a run that an administrator collects from every PC: an event in the
// Application log, source "Quorlen", one English text. The log file is per user and
// filtered by its mask; this record is written on every path, whatever the mask.
#ifndef QUORLEN_RUN_OUTCOME_H
#define QUORLEN_RUN_OUTCOME_H

#include <windows.h>

#include "deploy/Deploy.h"

// The event IDs, one per kind of outcome.
enum OutcomeId {
    kOutcomeReplaced = 1,       // the list was replaced (Information)
    kOutcomeWaiting = 2,        // the new list waits for the next restart (Warning)
    kOutcomeNotApplicable = 3,  // the update does not apply to this PC (Information)
    kOutcomeFailed = 4,         // not completed; the installation is as it was (Error)
    kOutcomeStopped = 5,        // stopped before the installation was touched (Error)
    kOutcomeAlreadyNew = 6,     // the list is already the new one (Information)
    kOutcomeUndo = 7,           // QuorlenUndo.exe's one event, of the type its outcome has
};

struct RunOutcome {
    RunOutcome() : id(kOutcomeStopped), reported(false) { text[0] = '\0'; }
    int id;
    bool reported;  // set by ReportOutcome: one event a run
    // Room for two paths of a path buffer each and the words around them; a longer
    // text is cut.
    char text[3 * kPathSize];
};

// Sets the outcome's ID and its text, formatted; the texts of IDs 3 and 5 begin with
// what the ID means ("The update does not apply: ", "The run stopped before the
// installation was touched: ") and go on with the format's text.
void SetOutcome(RunOutcome* outcome, int id, const char* format, ...)
    __attribute__((format(ms_printf, 3, 4)));

// The outcome of a run that got as far as the replacement of the list at target (the
// full path), as the administrator reads it.
void SetReplacementOutcome(RunOutcome* outcome, const char* target, const ReplaceReport& report);

// The event type that an outcome is reported with.
WORD OutcomeType(int id);

// Writes one event of the source with the user of the process token (so that the viewer
// shows who ran it) and three strings: the text, the updater's version and the MD5 of
// the list it carries, so that each event says which update wrote it. 1 when the event
// log took it; else 0 and *failure names the call that failed.
int ReportEvent(WORD type, int id, const char* text, StepFailure* failure);

// Reports the outcome once (ReportEvent, with its ID's type): 1 when the event log took
// it, or an earlier call reported it already; else 0 and *failure names the call that
// failed.
int ReportOutcome(RunOutcome* outcome, StepFailure* failure);

#endif
