// One replacement at a time on a PC: a startup script, an agent and a user may start the
// updater at once, and one run's clean-up must never meet another's copy.
#ifndef QUORLEN_DEPLOY_RUNLOCK_H
#define QUORLEN_DEPLOY_RUNLOCK_H

#include <windows.h>

#include "base/Handles.h"
#include "deploy/Deploy.h"

// In the global namespace, so that runs in other sessions (a service's, a terminal
// server user's) meet it too; Windows 2000 without Terminal Services ignores the prefix.
constexpr const char kRunLockName[] = "Global\\Quorlen.RegionList";
constexpr DWORD kRunLockWaitMs = 10000;

// Waits up to kRunLockWaitMs for the PC-wide mutex and takes it into *lock; one that a
// run left when it ended is taken over. 1 when it is held. 0 when it could not be made or
// opened or the wait ran out: an Error record under tag says which, and the caller goes
// on without it, since any account can make that name first and hold it for ever.
int TakeRunLock(ScopedOwnedMutex* lock, const char* tag);

#endif
