#include "deploy/Names.h"

#include <windows.h>
#include <string.h>

#include "base/Files.h"
#include "base/Handles.h"
#include "deploy/Retry.h"

namespace {

const size_t kAsideDigits = 8;

bool NotThere(DWORD error) { return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND; }

}  // namespace

int FreeName(const char* path, StepFailure* failure) {
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        if (NotThere(GetLastError())) return 1;
        failure->Set("GetFileAttributesA");
        return 0;
    }
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        failure->step = "a folder stands under the name";
        failure->error = ERROR_ALREADY_EXISTS;
        return 0;
    }
    char digits[kAsideDigits + 1];
    PathBuffer aside;
    if (!RandomHex(digits, sizeof digits, kAsideDigits)) {
        failure->Set("CryptGenRandom");
        return 0;
    }
    if (!FormatText(aside, sizeof aside, "%s.%s", path, digits) || TextLength(aside, kPathSize) >= MAX_PATH) {
        failure->step = "forming a name to set the file aside";
        failure->error = ERROR_FILENAME_EXCED_RANGE;
        return 0;
    }
    // A rename moves the name only, whatever file it points to.
    if (!RetryWhileHeld([&] { return MoveFileExA(path, aside, 0); })) {
        if (NotThere(GetLastError())) return 1;
        failure->Set("MoveFileExA (setting the file aside)");
        return 0;
    }
    ScopedHandle file(OpenPinned(aside, DELETE));
    BY_HANDLE_FILE_INFORMATION info;
    if (!file.IsValid() || !GetFileInformationByHandle(file.Get(), &info)) return 1;
    if (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
        if (info.nNumberOfLinks != 1 ||
            !SetFileAttributesA(aside, (info.dwFileAttributes & ~FILE_ATTRIBUTE_READONLY) |
                                           FILE_ATTRIBUTE_NORMAL))
            return 1;  // the name is free; what stays aside is not ours to change
    }
    // Gone when the last holder lets go; the name was free already.
    DeleteOnClose(file.Get());
    return 1;
}
