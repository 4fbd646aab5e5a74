#include "run/Outcome.h"

#include <string.h>

#include "QuorlenPayload.h"
#include "QuorlenVersion.h"
#include "base/Handles.h"
#include "base/Platform.h"
#include "base/Security.h"
#include "base/Text.h"

namespace {

// The event source: not registered anywhere, so nothing is written under the event
// log's key; the viewer shows its "description cannot be found" preamble before the
// text, and collectors read the text.
const char kSource[] = "Quorlen";

const char* Opening(int id) {
    switch (id) {
    case kOutcomeNotApplicable: return "The update does not apply: ";
    case kOutcomeStopped: return "The run stopped before the installation was touched: ";
    default: return "";
    }
}

}  // namespace

void SetOutcome(RunOutcome* outcome, int id, const char* format, ...) {
    outcome->id = id;
    CopyText(outcome->text, Opening(id));
    const size_t used = strlen(outcome->text);
    va_list args;
    va_start(args, format);
    FormatTextV(outcome->text + used, sizeof outcome->text - used, format, args);
    va_end(args);
}

void SetReplacementOutcome(RunOutcome* outcome, const char* target, const ReplaceReport& report) {
    const char* step = report.failure.step != nullptr ? report.failure.step : "an unnamed step";
    const unsigned long error = report.failure.error;
    switch (report.outcome) {
    case kReplaceDone:
        SetOutcome(outcome, kOutcomeReplaced, "The region list was replaced: %s.", target);
        break;
    case kReplaceWaiting:
        // The rename's error says what held it: the list (5), or the new copy (32).
        SetOutcome(outcome, kOutcomeWaiting,
                   "The new region list waits as %s and replaces %s at the next restart: "
                   "renaming it into place failed with error %lu. Restart the PC to complete "
                   "the update.",
                   report.waitingCopy, target, report.renameError);
        break;
    case kReplaceFailed:
        if (report.renameError != 0) {
            SetOutcome(outcome, kOutcomeFailed,
                       "The update could not be completed: renaming the new list into place "
                       "failed with error %lu, then %s failed with error %lu. The installation "
                       "is as it was: %s.",
                       report.renameError, step, error, target);
        } else {
            SetOutcome(outcome, kOutcomeFailed,
                       "The update could not be completed: %s failed with error %lu. The "
                       "installation is as it was: %s.",
                       step, error, target);
        }
        break;
    case kReplaceListGone:
        // Never "as it was": the list went (most often with the failed rename's first
        // half), and only its copy is left.
        if (report.renameError != 0) {
            SetOutcome(outcome, kOutcomeFailed,
                       "The update could not be completed: renaming the new list into place "
                       "failed with error %lu, and the region list is gone; the new list waits "
                       "as %s; run the update again to put it in place of %s.",
                       report.renameError, report.waitingCopy, target);
        } else {
            SetOutcome(outcome, kOutcomeFailed,
                       "The update could not be completed: %s failed with error %lu, and the "
                       "region list is gone; the new list waits as %s; run the update again to "
                       "put it in place of %s.",
                       step, error, report.waitingCopy, target);
        }
        break;
    case kReplaceNotSearched:
        SetOutcome(outcome, kOutcomeFailed,
                   "The update could not be completed: the region list could not be looked "
                   "for (%s failed with error %lu). The installation is as it was: %s.",
                   step, error, target);
        break;
    case kReplaceAlreadyNew:
        SetOutcome(outcome, kOutcomeAlreadyNew, "The region list is already the new one: %s.",
                   target);
        break;
    case kReplaceUnreadable:
        SetOutcome(outcome, kOutcomeFailed,
                   "The update could not be completed: the date of the region list could not "
                   "be read (%s failed with error %lu); another program may hold it open. The "
                   "installation is as it was: %s.",
                   step, error, target);
        break;
    case kReplaceOtherDate:
        SetOutcome(outcome, kOutcomeNotApplicable,
                   "the region list %s was last written on %04u-%02u-%02u (UTC), not on "
                   "2004-12-03: it is not the list that this update replaces.",
                   target, static_cast<unsigned>(report.date.wYear), static_cast<unsigned>(report.date.wMonth),
                   static_cast<unsigned>(report.date.wDay));
        break;
    case kReplaceAbsent:
        SetOutcome(outcome, kOutcomeNotApplicable, "there is no region list at %s.", target);
        break;
    default:
        SetOutcome(outcome, kOutcomeNotApplicable, "the path of the region list in %s is too long.",
                   target);
        break;
    }
}

WORD OutcomeType(int id) {
    switch (id) {
    case kOutcomeReplaced:
    case kOutcomeNotApplicable:
    case kOutcomeAlreadyNew:
        return EVENTLOG_INFORMATION_TYPE;
    case kOutcomeWaiting:
        return EVENTLOG_WARNING_TYPE;
    default:
        return EVENTLOG_ERROR_TYPE;
    }
}

int ReportEvent(WORD type, int id, const char* text, StepFailure* failure) {
    TokenUserBuffer user;
    PSID sid = TokenUserSid(&user);
    ScopedEventSource source(RegisterEventSourceA(nullptr, kSource));
    if (!source.IsValid()) {
        failure->Set("RegisterEventSourceA");
        return 0;
    }
    const char* strings[] = {text, QUORLEN_VERSION_TEXT, QUORLEN_LIST_MD5};
    if (!g_reportEvent(source.Get(), type, 0, static_cast<DWORD>(id), sid, 3, 0, strings,
                       nullptr)) {
        // A full Application log (512 KB, overwriting only week-old events) refuses it.
        failure->Set("ReportEventA");
        return 0;
    }
    return 1;
}

int ReportOutcome(RunOutcome* outcome, StepFailure* failure) {
    if (outcome->reported) return 1;
    outcome->reported = true;
    return ReportEvent(OutcomeType(outcome->id), outcome->id, outcome->text, failure);
}
