#include "deploy/Payload.h"

#include <string.h>

#include "deploy/Retry.h"
#include "resources/resource.h"

int LoadPayload(const void** bytes, DWORD* size) {
    HRSRC resource = FindResourceA(nullptr, MAKEINTRESOURCEA(IDR_REGION_LIST), "QUORLENLIST");
    if (resource == nullptr) return kPayloadNotFound;
    HGLOBAL loaded = LoadResource(nullptr, resource);
    if (loaded == nullptr) return kPayloadNotLoaded;
    const void* locked = LockResource(loaded);
    if (locked == nullptr) return kPayloadNotLocked;
    *bytes = locked;
    *size = SizeofResource(nullptr, resource);
    return kPayloadLoaded;
}

int ReadWholeFile(const char* path, DWORD limit, ScopedMemory* bytes,
                  BY_HANDLE_FILE_INFORMATION* info) {
    // Read access only, sharing reading and writing: a limited user may read the list,
    // and the device software may hold it open. A scanner that is still looking at a
    // fresh copy is waited for.
    ScopedHandle file;
    RetryWhileHeld([&] {
        file = ScopedHandle(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        return file.IsValid();
    });
    if (!file.IsValid() || !GetFileInformationByHandle(file.Get(), info)) return 0;
    const DWORD size = info->nFileSizeLow;
    if (info->nFileSizeHigh != 0 || size > limit) {
        SetLastError(ERROR_FILE_TOO_LARGE);
        return 0;
    }
    // One byte more than an empty file needs: a block of 0 bytes is no block to check.
    *bytes = ScopedMemory(HeapAlloc(GetProcessHeap(), 0, size + 1));
    DWORD got = 0;
    if (!bytes->IsValid()) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    if (!ReadFile(file.Get(), bytes->Get(), size, &got, nullptr)) return 0;
    if (got != size) {
        SetLastError(ERROR_INVALID_DATA);
        return 0;
    }
    return 1;
}

int FileHolds(const char* path, const void* bytes, DWORD size, BY_HANDLE_FILE_INFORMATION* info) {
    ScopedMemory read;
    if (!ReadWholeFile(path, size, &read, info)) return 0;
    // A file that differs leaves an error of its own, for the report of what failed.
    if (info->nFileSizeLow != size || memcmp(read.Get(), bytes, size) != 0) {
        SetLastError(ERROR_INVALID_DATA);
        return 0;
    }
    return 1;
}

int FileHoldsPayload(const char* path) {
    const void* payload = nullptr;
    DWORD size = 0;
    BY_HANDLE_FILE_INFORMATION info;
    return LoadPayload(&payload, &size) == kPayloadLoaded && FileHolds(path, payload, size, &info);
}
