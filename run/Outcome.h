// The one record of a run that an administrator collects from every PC: an event in the
// Application log, source "Quorlen", one English text. The log file is per user and
// filtered by its mask; this record is written on every path, whatever the mask.
#ifndef QUORLEN_RUN_OUTCOME_H
#define QUORLEN_RUN_OUTCOME_H

#include <windows.h>

#include <string>

// The event IDs, one per kind of outcome.
enum OutcomeId {
    kOutcomeReplaced = 1,       // the list was replaced (Information)
    kOutcomeWaiting = 2,        // the new list waits for the next restart (Warning)
    kOutcomeNotApplicable = 3,  // the update does not apply to this PC (Information)
    kOutcomeFailed = 4,         // not completed; the installation is as it was (Error)
    kOutcomeStopped = 5,        // stopped before the installation was touched (Error)
};

struct RunOutcome {
    int id = kOutcomeStopped;
    std::string text;
};

// The event type that an outcome is reported with.
WORD OutcomeType(int id);

// "<step> failed with error <code>", the way every failure names its cause.
std::string FailedStep(const char* step, DWORD error);

// Reports the outcome with the user of the process token, so that the viewer shows
// who ran it. 1 when the event log took it, else 0; either way nothing else changes.
int ReportOutcome(const RunOutcome& outcome);

#endif
