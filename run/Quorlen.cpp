// The update run: one pass from start to exit. It owns the logger and the path buffers
// that the steps share, shows at most one message box, leaves one outcome event and
// always exits with 0.
#include <windows.h>

#include <new>
#include <string>

#include "base/Platform.h"
#include "base/Text.h"
#include "deploy/Deploy.h"
#include "log/Logger.h"
#include "resources/resource.h"
#include "run/InstallLocation.h"
#include "run/Outcome.h"
#include "ui/Messages.h"

namespace {

const char kTag[] = "Quorlen::WinMain(Zindra)";

void ShowMessage(UINT id) {
    if (DisplayMessage(id) == 0) LOG_ERROR(" Quorlen:: Failed to disply messagebox");
}

// Keeps the text after the last comma of the registry value: the install directory.
// 0 when that text is not an absolute path (a drive path or a UNC path): a relative one
// would name a folder under wherever the updater was started from.
int KeepInstallDirectory(PathBuffer& install) {
    std::string value = install;
    size_t comma = value.rfind(',');
    if (comma != std::string::npos) CopyText(install, value.c_str() + comma + 1);
    const char* dir = install;
    const bool drive = ((dir[0] >= 'A' && dir[0] <= 'Z') || (dir[0] >= 'a' && dir[0] <= 'z')) &&
                       dir[1] == ':' && (dir[2] == '\\' || dir[2] == '/');
    const bool unc = dir[0] == '\\' && dir[1] == '\\';
    return drive || unc ? 1 : 0;
}

std::string Date(const SYSTEMTIME& utc) {
    char text[16];
    FormatText(text, sizeof text, "%04u-%02u-%02u", utc.wYear, utc.wMonth, utc.wDay);
    return text;
}

RunOutcome Outcome(int id, const std::string& text) {
    RunOutcome outcome;
    outcome.id = id;
    outcome.text = text;
    return outcome;
}

const char kNotApplicable[] = "The update does not apply: ";
const char kStopped[] = "The run stopped before the installation was touched: ";

// What the replacement ended in, as the administrator reads it.
RunOutcome ReplacementOutcome(const char* target, const ReplaceReport& report) {
    const std::string list = target;
    const std::string asItWas = " The installation is as it was: " + list + ".";
    switch (report.outcome) {
    case kReplaceDone:
        return Outcome(kOutcomeReplaced, "The region list was replaced: " + list + ".");
    case kReplaceWaiting:
        return Outcome(kOutcomeWaiting,
                       "The new region list waits as " + std::string(report.waitingCopy) +
                           " and replaces " + list +
                           " at the next restart: the list was in use. Restart the PC to "
                           "complete the update.");
    case kReplaceFailed:
        return Outcome(kOutcomeFailed, "The update could not be completed: " +
                                           FailedStep(report.failure.step, report.failure.error) +
                                           "." + asItWas);
    case kReplaceUnreadable:
        return Outcome(kOutcomeFailed,
                       "The update could not be completed: the date of the region list could "
                       "not be read (" +
                           FailedStep(report.failure.step, report.failure.error) +
                           "); another program may hold it open." + asItWas);
    case kReplaceOtherDate:
        return Outcome(kOutcomeNotApplicable,
                       kNotApplicable + std::string("the region list ") + list +
                           " was last written on " + Date(report.date) +
                           " (UTC), not on 2004-12-03: it is not the list that this update "
                           "replaces.");
    case kReplaceAbsent:
        return Outcome(kOutcomeNotApplicable,
                       kNotApplicable + std::string("there is no region list at ") + list + ".");
    default:
        return Outcome(kOutcomeNotApplicable,
                       kNotApplicable + std::string("the path of the region list in ") + list +
                           " is too long.");
    }
}

// The steps between the logger's creation and its closing; a failed gate returns
// straight to the finish. The result is what the run ended in.
RunOutcome RunUpdate(PathBuffer& install, PathBuffer& target, PathBuffer& tempCopy, int* replaced) {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!g_getVersionEx(&version)) {
        DWORD error = GetLastError();
        OutputDebugStringA(" Quorlen:: GetVersionEx Failed ");
        return Outcome(kOutcomeStopped, kStopped + std::string("the system's version could not be read (") +
                                            FailedStep("GetVersionExA", error) + ").");
    }
    if (version.dwMajorVersion != 5 || (version.dwMinorVersion != 0 && version.dwMinorVersion != 1)) {
        ShowMessage(IDS_NOT_SUPPORTED);
        LOG_ERROR(" Quorlen:: OS not supported");
        return Outcome(kOutcomeNotApplicable,
                       kNotApplicable + std::string("the system is Windows ") +
                           std::to_string(version.dwMajorVersion) + "." +
                           std::to_string(version.dwMinorVersion) +
                           ", not Windows 2000 (5.0) or Windows XP (5.1).");
    }

    const int read = GetInstalledPath(install);
    if (read != 1 || !KeepInstallDirectory(install)) {
        ShowMessage(IDS_NOT_SUPPORTED);
        LOG_ERROR(" Quorlen:: Could not get the installation path. So, No relevant Software found");
        const std::string value = "HKLM\\SOFTWARE\\Tessaly\\Lumenfold\\Parmel\\Strings, value Installdir";
        return Outcome(kOutcomeNotApplicable,
                       kNotApplicable + std::string("no installation of the device software: ") +
                           (read != 1 ? value + " cannot be read."
                                      : value + " names no absolute folder (\"" +
                                            std::string(install) + "\")."));
    }
    // PathAppendA adds the separator only where the value lacks one.
    if (!AppendPath(install, "Data")) LOG_MAIN_TRACE("%s %s", kTag, "PathAppend Failed");
    CopyText(target, install);

    // A temp folder longer than the buffer is reported with the size it needs and
    // leaves the buffer unfilled: as good as none.
    DWORD tempLength = GetTempPathA(kPathSize, g_tempFolder);
    if (tempLength == 0 || tempLength >= kPathSize) {
        DWORD error = tempLength == 0 ? GetLastError() : static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER);
        g_tempFolder[0] = '\0';
        LOG_ERROR("%s%s", kTag, "GetTempPath function failed to get temp Path");
        return Outcome(kOutcomeStopped, kStopped + std::string("there is no temp folder (") +
                                            FailedStep("GetTempPathA", error) + ").");
    }
    CopyText(tempCopy, g_tempFolder);

    StepFailure staging;
    if (!ExtractTXT(&staging)) {  // the extractor has logged the cause
        return Outcome(kOutcomeStopped, kStopped + std::string("the region list could not be staged in ") +
                                            g_tempFolder + " (" +
                                            FailedStep(staging.step, staging.error) + ").");
    }

    ReplaceReport report;
    int replacedResult = FileReplace(target, replaced, &report);
    if (*replaced == 1) {
        // The date matched; when the copy and its reboot-time fallback both failed the
        // installed list is still the old one, and the user must not be told otherwise.
        ShowMessage(replacedResult == 1 ? IDS_INSTALL_COMPLETED : IDS_INSTALL_FAILED);
    } else {
        // A list whose date cannot be read (held for writing) may well need the update:
        // "you do not need it" would be the opposite of what is known.
        ShowMessage(report.outcome == kReplaceUnreadable ? IDS_INSTALL_FAILED : IDS_NOT_SUPPORTED);
        LOG_ERROR(" Quorlen:: Filereplace function Failed  OR As Version is Higher or Equal "
                  "To the File being updated");
    }

    if (!DeleteFilesFromTemp(tempCopy))
        LOG_ERROR("Deleting files from temp folder failed............");
    return ReplacementOutcome(target, report);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    PathBuffer install = {};   // the raw value, then the install directory, then its Data folder
    PathBuffer target = {};    // the Data folder, handed to the replacement
    PathBuffer tempCopy = {};  // the temp folder, handed to the clean-up
    int replaced = 0;

    g_logger = new (std::nothrow) Logger("Olvane_Quorlenlog_Zindra", "PatchUpdate");
    LOG_MAIN_TRACE("%s%s", kTag, "- Entering");

    // One event on every path, box or none, whatever the log's mask.
    ReportOutcome(RunUpdate(install, target, tempCopy, &replaced));

    LOG_MAIN_TRACE("%s%s", kTag, "- Exiting");
    delete g_logger;
    g_logger = nullptr;
    return 0;
}
