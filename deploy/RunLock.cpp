#include "deploy/RunLock.h"

#include "base/Security.h"
#include "log/Logger.h"

namespace {

int WaitForRunLock(ScopedOwnedMutex* lock, StepFailure* failure) {
    // SYSTEM and the administrators may open what either made: a startup script's run
    // and an administrator's then wait for each other.
    OwnSecurity own;
    if (!MakeOwnSecurity(&own, kForAdministrators, MUTEX_ALL_ACCESS, false)) {
        failure->Set("building the mutex's DACL");
        return 0;
    }
    ScopedHandle mutex(CreateMutexA(&own.attributes, FALSE, kRunLockName));
    if (!mutex.IsValid() && GetLastError() == ERROR_ACCESS_DENIED) {
        // Made by an account that grants less than all: waiting needs only this much.
        mutex = ScopedHandle(OpenMutexA(SYNCHRONIZE | MUTEX_MODIFY_STATE, FALSE, kRunLockName));
    }
    if (!mutex.IsValid()) {
        failure->Set("CreateMutexA");
        return 0;
    }
    switch (WaitForSingleObject(mutex.Get(), kRunLockWaitMs)) {
    case WAIT_OBJECT_0:
    case WAIT_ABANDONED:  // its run ended without letting go: what it left is checked anew
        *lock = ScopedOwnedMutex(mutex.Release());
        return 1;
    case WAIT_TIMEOUT:
        failure->step = "waiting for the mutex";
        failure->error = WAIT_TIMEOUT;
        return 0;
    default:
        failure->Set("WaitForSingleObject");
        return 0;
    }
}

}  // namespace

int TakeRunLock(ScopedOwnedMutex* lock, const char* tag) {
    StepFailure failure;
    if (WaitForRunLock(lock, &failure)) return 1;
    LOG_ERROR("%s %s %s: %s failed with error %lu; going on without it", tag,
              "Another run may be replacing the list: no hold on", kRunLockName, failure.step,
              failure.error);
    return 0;
}
