// The copy that waits beside the installed list: its name, the move for the next start
// that the system may already hold for it, and what the list's volume allows.
#ifndef QUORLEN_DEPLOY_WAITINGCOPY_H
#define QUORLEN_DEPLOY_WAITINGCOPY_H

#include "base/Text.h"
#include "deploy/Deploy.h"

// Forms vexo_regions.txt.new in target's folder (the current folder when target has no
// backslash): 1, or 0 when it does not fit.
int WaitingCopyPath(const char* target, PathBuffer& copy);

enum RestartMove { kNoRestartMove, kRestartMove, kRestartMoveUnknown };

// Whether PendingFileRenameOperations already holds copy's move onto target, as
// MoveFileExA registers it with MOVEFILE_REPLACE_EXISTING; kRestartMoveUnknown when the
// value is there but cannot be read whole.
int RestartMoveFor(const char* copy, const char* target);

// True when path lies on another machine: a UNC path, or a drive the system calls
// remote.
bool OnNetworkVolume(const char* path);

// Gives the file named by to the DACL of the file named by from: 1, also when from's
// volume keeps no ACLs (FAT) and there is nothing to give. Else 0, and *failure names
// the call that failed.
int CopyDacl(const char* from, const char* to, StepFailure* failure);

#endif
