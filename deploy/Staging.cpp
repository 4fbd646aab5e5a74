// Staging: the payload resource goes to the temp folder before anything in the
// installation is touched, and is removed there at the end of the run.
#include <windows.h>
#include <string.h>

#include "base/Handles.h"
#include "deploy/Deploy.h"
#include "deploy/Payload.h"
#include "deploy/RegionListPath.h"
#include "deploy/Retry.h"
#include "log/Logger.h"

PathBuffer g_tempFolder;

namespace {

const char kExtractTag[] = "Quorlen::ExtractTXT";
const char kDeleteTag[] = "Quorlen::DeleteFilesFromTemp";

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

    // A file of our own, never one that is already there: others may write the temp
    // folder (LocalSystem's is %WINDIR%\Temp), and opening their file, or a hard link
    // they planted, would write where they choose. Deleting removes only the name; a
    // stale copy that cannot be deleted (read-only, held open) makes creation fail.
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
