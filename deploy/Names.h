// Freeing a name in a folder where other accounts may have put something under it.
#ifndef QUORLEN_DEPLOY_NAMES_H
#define QUORLEN_DEPLOY_NAMES_H

#include "deploy/Deploy.h"

// Frees path's name for a file of our own, which CREATE_NEW then makes. A file there is
// first renamed aside (a unique name in the same folder), so that a holder who allows
// deleting (a backup program) cannot keep the name for minutes; it is then deleted
// through a handle, its read-only bit cleared only when it has no other name. A file with
// another name and the bit set stays aside untouched: deleting it would change the file
// that the other name points to. A folder of that name is not ours and stays. 1 when the
// name is free; else 0 and *failure names the call that failed.
int FreeName(const char* path, StepFailure* failure);

#endif
