// The update run: one pass from start to exit. It owns the logger and the path buffers
// that the steps share, shows at most one message box, leaves one outcome event and
// always exits with 0.
#include <windows.h>
#include <commctrl.h>

#include <new>

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
const char kNoInstallation[] =
    "no installation of the device software: "
    "HKLM\\SOFTWARE\\Tessaly\\Lumenfold\\Parmel\\Strings, value Installdir";

// Once a run: the paths without a box are reported at the end of WinMain.
void Announce(RunOutcome* outcome) {
    StepFailure failure;
    if (!ReportOutcome(outcome, &failure))
        LOG_ERROR("%s %s failed with error %lu", kTag, failure.step, failure.error);
}

// The outcome goes on record first: a box that nobody presses must not hold it back, nor
// a logoff that ends the process lose it.
void ShowMessage(RunOutcome* outcome, UINT id) {
    Announce(outcome);
    if (DisplayMessage(id) == 0) LOG_ERROR(" Quorlen:: Failed to disply messagebox");
}

// Stages the list in the staging folder (g_tempFolder, as tempCopy), replaces the
// installed one, shows the box and removes the staged file.
void UpdateFromStaging(PathBuffer& target, const char* tempCopy, int* replaced,
                       RunOutcome* outcome) {
    StepFailure staging;
    if (!ExtractTXT(&staging)) {  // the extractor has logged the cause
        SetOutcome(outcome, kOutcomeStopped,
                   "the region list could not be staged in %s (%s failed with error %lu).",
                   g_tempFolder, staging.step != nullptr ? staging.step : "an unnamed step",
                   staging.error);
        return;
    }

    ReplaceReport report;
    int replacedResult = FileReplace(target, replaced, &report);
    SetReplacementOutcome(outcome, target, report);
    if (*replaced == 1) {
        // The date matched; when the copy and its reboot-time fallback both failed the
        // installed list is still the old one (or gone, its whole copy waiting for the
        // next run), and the user must not be told otherwise.
        ShowMessage(outcome, replacedResult == 1 ? IDS_INSTALL_COMPLETED : IDS_INSTALL_FAILED);
    } else {
        // A list whose date cannot be read (held for writing), or that cannot even be
        // looked for, may well need the update: "you do not need it" would be the
        // opposite of what is known.
        const bool unknown =
            report.outcome == kReplaceUnreadable || report.outcome == kReplaceNotSearched;
        ShowMessage(outcome, unknown ? IDS_INSTALL_FAILED : IDS_NOT_SUPPORTED);
        LOG_ERROR(" Quorlen:: Filereplace function Failed  OR As Version is Higher or Equal "
                  "To the File being updated");
    }

    if (!DeleteFilesFromTemp(tempCopy))
        LOG_ERROR("Deleting files from temp folder failed............");
}

// The steps between the logger's creation and its closing; a failed gate returns
// straight to the finish. *outcome is what the run ended in.
void RunUpdate(PathBuffer& install, PathBuffer& target, PathBuffer& tempCopy, int* replaced,
               RunOutcome* outcome) {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!g_getVersionEx(&version)) {
        DWORD error = GetLastError();
        OutputDebugStringA(" Quorlen:: GetVersionEx Failed ");
        SetOutcome(outcome, kOutcomeStopped,
                   "the system's version could not be read (GetVersionExA failed with error %lu).",
                   error);
        return;
    }
    if (version.dwMajorVersion != 5 || (version.dwMinorVersion != 0 && version.dwMinorVersion != 1)) {
        SetOutcome(outcome, kOutcomeNotApplicable,
                   "the system is Windows %lu.%lu, not Windows 2000 (5.0) or Windows XP (5.1).",
                   version.dwMajorVersion, version.dwMinorVersion);
        ShowMessage(outcome, IDS_NOT_SUPPORTED);
        LOG_ERROR(" Quorlen:: OS not supported");
        return;
    }

    const int read = GetInstalledPath(install);
    if (read != 1 || !KeepInstallDirectory(install)) {
        if (read != 1) {
            SetOutcome(outcome, kOutcomeNotApplicable, "%s cannot be read.", kNoInstallation);
        } else {
            SetOutcome(outcome, kOutcomeNotApplicable, "%s names no absolute folder (\"%s\").",
                       kNoInstallation, install);
        }
        ShowMessage(outcome, IDS_NOT_SUPPORTED);
        LOG_ERROR(" Quorlen:: Could not get the installation path. So, No relevant Software found");
        return;
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
        SetOutcome(outcome, kOutcomeStopped,
                   "there is no temp folder (GetTempPathA failed with error %lu).", error);
        return;
    }
    // The staged file goes into a folder of the run's own: nothing that another
    // account put in the temp folder can stop or steer it.
    StepFailure staging;
    if (!MakeStagingFolder(g_tempFolder, &staging)) {
        SetOutcome(outcome, kOutcomeStopped,
                   "no staging folder could be made in %s (%s failed with error %lu).",
                   g_tempFolder, staging.step, staging.error);
        return;
    }
    CopyText(tempCopy, g_tempFolder);
    UpdateFromStaging(target, tempCopy, replaced, outcome);
    RemoveStagingFolder(tempCopy);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // No system box may hold an unattended run: not "There is no disk in the drive", not
    // the crash dialog. A crash then leaves no box and no report.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    // The manifest binds the version 6 controls, which XP's user32 does not load by
    // itself: without this the box never appears there.
    InitCommonControls();
    PathBuffer install = {};   // the raw value, then the install directory, then its Data folder
    PathBuffer target = {};    // the Data folder, handed to the replacement
    PathBuffer tempCopy = {};  // the temp folder, handed to the clean-up
    int replaced = 0;

    g_logger = new (std::nothrow) Logger("Olvane_Quorlenlog_Zindra", "PatchUpdate");
    LOG_MAIN_TRACE("%s%s", kTag, "- Entering");

    // One event on every path, box or none, whatever the log's mask: the paths without
    // a box leave it to be reported here.
    RunOutcome outcome;
    RunUpdate(install, target, tempCopy, &replaced, &outcome);
    Announce(&outcome);

    LOG_MAIN_TRACE("%s%s", kTag, "- Exiting");
    delete g_logger;
    g_logger = nullptr;
    return 0;
}
