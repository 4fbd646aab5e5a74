// Staging: the payload resource goes to the temp folder before anything in the
// installation is touched, and is removed there at the end of the run.
#include <windows.h>
#include <string.h>

#include "base/Files.h"
#include "base/Handles.h"
#include "base/Security.h"
#include "deploy/Deploy.h"
#include "deploy/Payload.h"
#include "deploy/RegionListPath.h"
#include "deploy/Retry.h"
#include "log/Logger.h"

PathBuffer g_tempFolder;

namespace {

const char kExtractTag[] = "Quorlen::ExtractTXT";
const char kDeleteTag[] = "Quorlen::DeleteFilesFromTemp";
// Hex digits of the staging folder's name: short, so that a long temp path still has
// room for the file, and far too many names to make them all first.
const size_t kStagingNameDigits = 12;
const int kStagingTries = 8;

int WritePayload(StepFailure* failure) {
    const void* bytes = nullptr;
    DWORD size = 0;
    const int payload = LoadPayload(&bytes, &size);
    if (payload != kPayloadLoaded) failure->Set("loading the payload resource");
    switch (payload) {
    case kPayloadNotFound:
        LOG_ERROR("%s %s ", kExtractTag, "Resource Handle  is Invalid ");
        return 0;
    case kPayloadNotLoaded:
        LOG_ERROR("%s %s ", kExtractTag, "Resource is not Loaded Properly ");
        return 0;
    case kPayloadNotLocked:
        LOG_ERROR("%s %s ", kExtractTag, "Resource is not Locked. The Problem is with LpBuffer ");
        return 0;
    default:
        break;
    }

    PathBuffer staged;
    if (!RegionListPath(staged, g_tempFolder)) {
        failure->step = "forming the staged file's path";
        failure->error = ERROR_FILENAME_EXCED_RANGE;
        LOG_MAIN_TRACE("%s %s", kExtractTag, "PathAppend Failed");
        return 0;
    }

    // The folder is the run's own (see MakeStagingFolder): nothing of another account's
    // is in it, and what an earlier staging left there is replaced.
    DeleteFileA(staged);
    ScopedHandle file(CreateFileA(staged, GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        failure->Set("CreateFileA (the staged file)");
        LOG_ERROR("%s %s ", kExtractTag, "Invalid File Handle Value While Creating File ");
        return 0;
    }
    DWORD written = 0;
    if (!WriteFile(file.Get(), bytes, size, &written, nullptr) || written != size) {
        failure->Set("WriteFile (the staged file)");
        LOG_ERROR("%s %s ", kExtractTag,
                  "The File is not Completely Written. Problem with FileWrite");
        // A part of the list must not stay where a later step could take it for all.
        file.Close();
        DeleteFileA(staged);
        return 0;
    }
    return 1;
}

}  // namespace

int MakeStagingFolder(PathBuffer& folder, StepFailure* failure) {
    // Only the run's account and SYSTEM: in LocalSystem's temp folder, %WINDIR%\Temp,
    // every user may create entries, and an inherited grant would let them into this one.
    OwnSecurity own;
    if (!MakeOwnSecurity(&own, kForRunAccount, GENERIC_ALL, true)) {
        failure->Set("building the staging folder's DACL");
        return 0;
    }
    for (int tries = 1;; ++tries) {
        char name[kStagingNameDigits + 1];
        PathBuffer candidate;
        if (!RandomHex(name, sizeof name, kStagingNameDigits)) {
            failure->Set("CryptGenRandom");
            return 0;
        }
        CopyText(candidate, folder);
        if (!AppendPath(candidate, name) || !AppendText(candidate, "\\")) {
            failure->step = "forming the staging folder's path";
            failure->error = ERROR_FILENAME_EXCED_RANGE;
            return 0;
        }
        if (CreateDirectoryA(candidate, &own.attributes)) {
            CopyText(folder, candidate);
            return 1;
        }
        // A name that somebody made first is simply not ours: draw another.
        if (GetLastError() != ERROR_ALREADY_EXISTS || tries == kStagingTries) {
            failure->Set("CreateDirectoryA (the staging folder)");
            return 0;
        }
    }
}

int RemoveStagingFolder(const char* folder) {
    if (RemoveDirectoryA(folder)) return 1;
    const DWORD error = GetLastError();
    LOG_ERROR("Failed to Delete folder %s. Error %d ", folder, static_cast<int>(error));
    return 0;
}

int ExtractTXT(StepFailure* failure) {
    LOG_MAIN_TRACE("%s %s", kExtractTag, "- Entering");
    StepFailure unused;
    int result = WritePayload(failure != nullptr ? failure : &unused);
    LOG_MAIN_TRACE("%s %s", kExtractTag, "- Exiting");
    return result;
}

int DeleteFilesFromTemp(const char* folder) {
    LOG_MAIN_TRACE("%s %s", kDeleteTag, "- Entering");
    PathBuffer staged;
    BOOL deleted = FALSE;
    if (RegionListPath(staged, folder)) {
        // A scanner may still hold the file that was written moments ago.
        deleted = RetryWhileHeld([&] { return DeleteFileA(staged); });
        if (!deleted) {
            DWORD error = GetLastError();
            LOG_ERROR("Failed to Delete file %s. Error %d ", staged, static_cast<int>(error));
        }
    } else {
        // Deleting the unchanged buffer could remove a file that merely shares the
        // folder's name: report the name that could not be formed and touch nothing.
        size_t length = strlen(staged);
        if (length == 0 || staged[length - 1] != '\\') AppendText(staged, "\\");
        AppendText(staged, kRegionListName);
        LOG_ERROR("Failed to Delete file %s. Error %d ", staged,
                  static_cast<int>(ERROR_FILENAME_EXCED_RANGE));
    }
    LOG_MAIN_TRACE("%s %s", kDeleteTag, "- Exiting");
    return deleted;
}
