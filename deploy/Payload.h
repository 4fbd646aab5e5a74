// The region list as the executable carries it: the one source of truth that the staged
// file and the copy beside the installed list are checked against.
#ifndef QUORLEN_DEPLOY_PAYLOAD_H
#define QUORLEN_DEPLOY_PAYLOAD_H

#include <windows.h>

enum PayloadResult {
    kPayloadLoaded = 1,
    kPayloadNotFound = 0,
    kPayloadNotLoaded = -1,
    kPayloadNotLocked = -2,
};

// Finds, loads and locks resource 104 of type "QUORLENLIST" in the running module.
// On kPayloadLoaded, *bytes and *size describe it; they stay valid for the process's life.
int LoadPayload(const void** bytes, DWORD* size);

// 1 when the file at path holds exactly the payload's bytes; 0 when it differs, cannot
// be opened or read, or the payload is missing. Opens for reading only, and waits a
// moment for a program that holds the file without sharing it.
int FileHoldsPayload(const char* path);

#endif
