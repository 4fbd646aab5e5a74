// Where the maker's device software is installed, as its registry value records it.
#ifndef QUORLEN_RUN_INSTALLLOCATION_H
#define QUORLEN_RUN_INSTALLLOCATION_H

#include "base/Text.h"

// Reads HKLM\SOFTWARE\Tessaly\Lumenfold\Parmel\Strings, value "Installdir", of any
// type, into buffer, always terminated: 1 when read, 0 when the key or value is
// missing or the value does not fit with its terminator.
int GetInstalledPath(PathBuffer& buffer);

#endif
