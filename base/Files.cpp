#include "base/Files.h"

#include <windows.h>
#include <wincrypt.h>
#include <winternl.h>

#include "base/Handles.h"

namespace {

// Windows 2000 has no SetFileInformationByHandle; its ntdll has the call beneath it.
BOOL SetInformation(HANDLE file, void* information, ULONG size, FILE_INFORMATION_CLASS kind) {
    IO_STATUS_BLOCK status = {};
    const NTSTATUS result = NtSetInformationFile(file, &status, information, size, kind);
    if (result < 0) {
        SetLastError(RtlNtStatusToDosError(result));
        return FALSE;
    }
    return TRUE;
}

// The number of names (hard links) of the open file; 0 when it cannot be read.
DWORD LinkCount(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info;
    return GetFileInformationByHandle(file, &info) ? info.nNumberOfLinks : 0;
}

}  // namespace

bool HasOtherNames(const char* path) {
    ScopedHandle file(CreateFileA(path, FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    return file.IsValid() && LinkCount(file.Get()) > 1;
}

HANDLE OpenPinned(const char* path, DWORD extra) {
    return CreateFileA(path, GENERIC_READ | extra, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                       OPEN_EXISTING, 0, nullptr);
}

BOOL DeleteOnClose(HANDLE file) {
    FILE_DISPOSITION_INFORMATION disposition = {};
    disposition.DoDeleteFile = TRUE;
    return SetInformation(file, &disposition, sizeof disposition, FileDispositionInformation);
}

BOOL SetReadOnly(const char* path, bool readOnly) {
    // Checked through a handle, set by the name that the handle holds in place: Wine
    // opens no read-only file for FILE_WRITE_ATTRIBUTES, so the set itself goes by name.
    ScopedHandle file(OpenPinned(path, 0));
    if (!file.IsValid()) return FALSE;
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file.Get(), &info)) return FALSE;
    DWORD wanted = readOnly ? info.dwFileAttributes | FILE_ATTRIBUTE_READONLY
                            : info.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY;
    if (wanted == info.dwFileAttributes) return TRUE;
    // The bit belongs to the file, not to the name: through another name it would be
    // another account's file that changed.
    if (info.nNumberOfLinks != 1) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return SetFileAttributesA(path, wanted != 0 ? wanted : FILE_ATTRIBUTE_NORMAL);
}

BOOL RandomHex(char* out, size_t capacity, size_t digits) {
    BYTE bytes[32];
    if (capacity < digits + 1 || digits > 2 * sizeof bytes) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    const DWORD count = static_cast<DWORD>((digits + 1) / 2);
    // The generator beneath CryptGenRandom, from XP on: without the provider's DLLs to
    // load, which cost a run more than everything else the staging does. Windows 2000
    // has only the provider.
    using GenRandomFn = BOOLEAN(WINAPI*)(PVOID, ULONG);
    const auto genRandom = reinterpret_cast<GenRandomFn>(
        GetProcAddress(GetModuleHandleA("advapi32.dll"), "SystemFunction036"));
    if (genRandom == nullptr || !genRandom(bytes, count)) {
        ScopedCryptProvider provider;
        if (!CryptAcquireContextA(provider.Receive(), nullptr, nullptr, PROV_RSA_FULL,
                                  CRYPT_VERIFYCONTEXT) ||
            !CryptGenRandom(provider.Get(), count, bytes)) {
            const DWORD error = GetLastError();
            provider.Close();
            SetLastError(error);
            return FALSE;
        }
    }
    const char hex[] = "0123456789abcdef";
    for (size_t i = 0; i < digits; ++i) out[i] = hex[(bytes[i / 2] >> (i % 2 == 0 ? 4 : 0)) & 0xF];
    out[digits] = '\0';
    return TRUE;
}
