// Where the maker's device software is installed, as its registry value records it.
#ifndef QUORLEN_RUN_INSTALLLOCATION_H
#define QUORLEN_RUN_INSTALLLOCATION_H

#include "base/Text.h"

// Reads HKLM\SOFTWARE\Tessaly\Lumenfold\Parmel\Strings, value "Installdir", of any
// type, into buffer, always terminated: 1 when read, 0 when the key or value is
// missing or the value does not fit with its terminator.
int GetInstalledPath(PathBuffer& buffer);

// Keeps the text after the last comma of the value: the install directory. 0 when that
// text is not an absolute path (a drive path or a UNC path): a relative one would name a
// folder under wherever the program was started from.
int KeepInstallDirectory(PathBuffer& install);

#endif
