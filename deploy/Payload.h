// The region list as the executable carries it: the one source of truth that the staged
// file and the copy beside the installed list are checked against. And the files beside
// the list, read whole and compared with what they must hold.
#ifndef QUORLEN_DEPLOY_PAYLOAD_H
#define QUORLEN_DEPLOY_PAYLOAD_H

#include <windows.h>

#include "base/Handles.h"

enum PayloadResult {
    kPayloadLoaded = 1,
    kPayloadNotFound = 0,
    kPayloadNotLoaded = -1,
    kPayloadNotLocked = -2,
};

// Finds, loads and locks resource 104 of type "QUORLENLIST" in the running module.
// On kPayloadLoaded, *bytes and *size describe it; they stay valid for the process's life.
int LoadPayload(const void** bytes, DWORD* size);

// Reads the whole file at path, of at most limit bytes, into *bytes, and what the system
// knows of it (its size, last-write time, attributes and number of names) into *info: 1,
// or 0 with the error in GetLastError (ERROR_FILE_TOO_LARGE for a larger file). Opens
// for reading only, sharing reading and writing, and waits a moment for a program that
// holds the file without sharing it.
int ReadWholeFile(const char* path, DWORD limit, ScopedMemory* bytes,
                  BY_HANDLE_FILE_INFORMATION* info);

// 1 when the file at path holds exactly the size bytes at bytes, and *info is then what
// the system knows of it. 0 when it differs (ERROR_INVALID_DATA, or ERROR_FILE_TOO_LARGE
// when it is longer) or cannot be read.
int FileHolds(const char* path, const void* bytes, DWORD size, BY_HANDLE_FILE_INFORMATION* info);

// FileHolds for the payload's bytes; 0 also when the payload is missing.
int FileHoldsPayload(const char* path);

#endif
