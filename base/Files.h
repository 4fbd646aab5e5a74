// Files that the program meets by name where other accounts may write: how many names a
// file has, and attribute changes and deletes done only while a handle that was checked
// holds the name in place (a name can be swapped; a hard link changes the file it points
// to).
#ifndef QUORLEN_BASE_FILES_H
#define QUORLEN_BASE_FILES_H

#include <windows.h>
#include <stddef.h>

// True when path names an existing file that has more than one name: whatever is
// written through such a name lands in another file too. False for anything else (no
// such file, one name, a device or volume that counts none).
bool HasOtherNames(const char* path);

// Opens the file at path for reading (and extra access), letting others read and write
// it but not rename or delete it: while the handle is open, the name stays the name of
// the file that was opened, so what is done by that name is done to that file.
HANDLE OpenPinned(const char* path, DWORD extra);

// Marks the open file (opened with DELETE) for deletion when its last handle closes:
// nonzero, or 0 with the error in GetLastError.
BOOL DeleteOnClose(HANDLE file);

// Sets or clears the read-only bit of the file at path, checked through a pinned handle
// to have one name only; the other attributes stay. Nonzero when the bit is as asked; 0
// with the error in GetLastError (ERROR_ACCESS_DENIED for a file with more than one name,
// whose bit is left alone).
BOOL SetReadOnly(const char* path, bool readOnly);

// digits lower-case hex digits from the system's random source, and a terminator, in
// out (capacity at least digits + 1): nonzero, or 0 with the error in GetLastError.
BOOL RandomHex(char* out, size_t capacity, size_t digits);

#endif
