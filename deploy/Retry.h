// Retries a file step that a second program may hold up for a moment: an on-access
// virus scanner opens every file as soon as it is closed, with read sharing only.
#ifndef QUORLEN_DEPLOY_RETRY_H
#define QUORLEN_DEPLOY_RETRY_H

#include <windows.h>

// About two seconds in all: long enough for a scanner, short enough where the list
// itself is in use and the wait is for nothing.
constexpr int kHeldTries = 10;
constexpr DWORD kHeldPauseMs = 200;

// Calls step (nonzero on success) until it succeeds, fails with an error other than a
// sharing violation or denied access (a file still being closed), or has been tried
// kHeldTries times. Returns step's last result, with its error left in GetLastError.
template <typename Step>
BOOL RetryWhileHeld(Step step) {
    for (int tries = 1;; ++tries) {
        if (step()) return TRUE;
        const DWORD error = GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) || tries == kHeldTries)
            return FALSE;
        Sleep(kHeldPauseMs);
    }
}

#endif
