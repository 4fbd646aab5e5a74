#include "run/Outcome.h"

#include <vector>

#include "base/Handles.h"
#include "base/Text.h"

namespace {

// The event source: not registered anywhere, so nothing is written under the event
// log's key; the viewer shows its "description cannot be found" preamble before the
// text, and collectors read the text.
const char kSource[] = "Quorlen";

// The SID of the process token's user, in *buffer; null when it cannot be read (the
// event is then written without one).
PSID TokenUserSid(std::vector<BYTE>* buffer) {
    ScopedHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.Receive())) return nullptr;
    DWORD size = 0;
    GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
    // A TOKEN_USER is a pointer and a SID of at most 68 bytes: anything far larger is
    // not one.
    if (size < sizeof(TOKEN_USER) || size > 1024) return nullptr;
    buffer->assign(size, 0);
    if (!GetTokenInformation(token.Get(), TokenUser, buffer->data(), size, &size)) return nullptr;
    return reinterpret_cast<TOKEN_USER*>(buffer->data())->User.Sid;
}

RunOutcome Outcome(int id, const std::string& text) {
    RunOutcome outcome;
    outcome.id = id;
    outcome.text = text;
    return outcome;
}

std::string Date(const SYSTEMTIME& utc) {
    char text[16];
    FormatText(text, sizeof text, "%04u-%02u-%02u", utc.wYear, utc.wMonth, utc.wDay);
    return text;
}

}  // namespace

RunOutcome NotApplicable(const std::string& why) {
    return Outcome(kOutcomeNotApplicable, "The update does not apply: " + why);
}

RunOutcome Stopped(const std::string& why) {
    return Outcome(kOutcomeStopped, "The run stopped before the installation was touched: " + why);
}

RunOutcome ReplacementOutcome(const char* target, const ReplaceReport& report) {
    const std::string list = target;
    const std::string notCompleted = "The update could not be completed: ";
    const std::string asItWas = " The installation is as it was: " + list + ".";
    const std::string failed = FailedStep(report.failure.step, report.failure.error);
    switch (report.outcome) {
    case kReplaceDone:
        return Outcome(kOutcomeReplaced, "The region list was replaced: " + list + ".");
    case kReplaceWaiting:
        return Outcome(kOutcomeWaiting, "The new region list waits as " +
                                            std::string(report.waitingCopy) + " and replaces " +
                                            list +
                                            " at the next restart: the list was in use. Restart "
                                            "the PC to complete the update.");
    case kReplaceFailed:
        return Outcome(kOutcomeFailed, notCompleted + failed + "." + asItWas);
    case kReplaceUnreadable:
        return Outcome(kOutcomeFailed, notCompleted + "the date of the region list could not be read (" +
                                           failed + "); another program may hold it open." + asItWas);
    case kReplaceOtherDate:
        return NotApplicable("the region list " + list + " was last written on " +
                             Date(report.date) +
                             " (UTC), not on 2004-12-03: it is not the list that this update "
                             "replaces.");
    case kReplaceAbsent:
        return NotApplicable("there is no region list at " + list + ".");
    default:
        return NotApplicable("the path of the region list in " + list + " is too long.");
    }
}

WORD OutcomeType(int id) {
    switch (id) {
    case kOutcomeReplaced:
    case kOutcomeNotApplicable:
        return EVENTLOG_INFORMATION_TYPE;
    case kOutcomeWaiting:
        return EVENTLOG_WARNING_TYPE;
    default:
        return EVENTLOG_ERROR_TYPE;
    }
}

std::string FailedStep(const char* step, DWORD error) {
    return std::string(step != nullptr ? step : "an unnamed step") + " failed with error " +
           std::to_string(error);
}

int ReportOutcome(const RunOutcome& outcome) {
    std::vector<BYTE> user;
    PSID sid = TokenUserSid(&user);
    ScopedEventSource source(RegisterEventSourceA(nullptr, kSource));
    if (!source.IsValid()) return 0;
    const char* strings[] = {outcome.text.c_str()};
    return ReportEventA(source.Get(), OutcomeType(outcome.id), 0, static_cast<DWORD>(outcome.id),
                        sid, 1, 0, strings, nullptr)
               ? 1
               : 0;
}
