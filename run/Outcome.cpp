#include "run/Outcome.h"

#include <vector>

#include "base/Handles.h"

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

}  // namespace

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
