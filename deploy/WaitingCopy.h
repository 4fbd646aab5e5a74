// The files beside the installed list: their names, the move for the next start that the
// system may already hold for the waiting copy, and what the list's volume allows.
#ifndef QUORLEN_DEPLOY_WAITINGCOPY_H
#define QUORLEN_DEPLOY_WAITINGCOPY_H

#include "base/Text.h"
#include "deploy/Deploy.h"

// What stands beside the list: the new list waiting for its rename, and the superseded
// list kept for an undo.
constexpr const char kWaitingSuffix[] = ".new";
constexpr const char kKeptSuffix[] = ".old";

// Forms vexo_regions.txt and suffix in target's folder (the current folder when target
// has no backslash): 1, or 0 when it does not fit.
int BesideList(const char* target, const char* suffix, PathBuffer& path);

enum RestartMove { kNoRestartMove, kRestartMove, kRestartMoveUnknown };

// Whether PendingFileRenameOperations already holds copy's move onto target, as
// MoveFileExA registers it with MOVEFILE_REPLACE_EXISTING; names are compared in the
// full form the system stores ("C:/x/../y" is "C:\y"). kRestartMoveUnknown when the
// value is there but cannot be read whole, or a name has no full form that fits.
int RestartMoveFor(const char* copy, const char* target);

enum VolumeAtRestart { kVolumeThere, kVolumeNetwork, kVolumeSubstituted };

// Whether path's volume is there when the system moves files at the next start:
// kVolumeNetwork for a UNC path or a remote drive (the network is not up yet),
// kVolumeSubstituted for a drive letter that subst made (not made again yet).
int VolumeAtRestart(const char* path);

// True when both descriptors hold a DACL, neither NULL, equal ACE for ACE, and both
// protected from inheritance or neither. False for anything else.
bool SameDacl(PSECURITY_DESCRIPTOR a, PSECURITY_DESCRIPTOR b);

// Gives the file named by to the DACL of the file named by from: 1, also when from's
// volume keeps no ACLs (FAT) and there is nothing to give. exactly: always set, then read
// back and compared (SameDacl); else set only where it differs. 0 otherwise, and
// *failure names the call that failed.
int CopyDacl(const char* from, const char* to, bool exactly, StepFailure* failure);

#endif
