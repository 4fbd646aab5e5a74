#include "deploy/Payload.h"

#include <string.h>

#include "base/Handles.h"
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

int FileHoldsPayload(const char* path) {
    const void* payload = nullptr;
    DWORD size = 0;
    if (LoadPayload(&payload, &size) != kPayloadLoaded) return 0;

    // Read access only, sharing reading and writing: a limited user may read the list,
    // and the device software may hold it open. A scanner that is still looking at a
    // fresh copy is waited for.
    ScopedHandle file;
    RetryWhileHeld([&] {
        file = ScopedHandle(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        return file.IsValid();
    });
    if (!file.IsValid()) return 0;
    DWORD high = 0;
    DWORD low = GetFileSize(file.Get(), &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return 0;
    // A file that differs leaves an error of its own, for the report of what failed.
    if (high != 0 || low != size) {
        SetLastError(ERROR_INVALID_DATA);
        return 0;
    }

    const char* expected = static_cast<const char*>(payload);
    char chunk[4096];
    DWORD checked = 0;
    while (checked < size) {
        DWORD want = size - checked < sizeof chunk ? size - checked : sizeof chunk;
        DWORD got = 0;
        if (!ReadFile(file.Get(), chunk, want, &got, nullptr) || got != want) return 0;
        if (memcmp(chunk, expected + checked, got) != 0) {
            SetLastError(ERROR_INVALID_DATA);
            return 0;
        }
        checked += got;
    }
    return 1;
}
