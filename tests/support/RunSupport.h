// Running the updater as a user does: its own process, its own Windows version, a
// message box read and dismissed by the test.
#ifndef QUORLEN_TESTS_SUPPORT_RUNSUPPORT_H
#define QUORLEN_TESTS_SUPPORT_RUNSUPPORT_H

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/DeploySupport.h"
#include "tests/support/TestSupport.h"

namespace qt {

// The x86_64 build of the updater beside the tests folder.
std::string UpdaterPath();

// The Windows version Wine reports to Quorlen.exe alone: "winxp", "win2k", "win2003",
// "win7"; an empty text removes the setting.
void SetUpdaterWindowsVersion(const char* version);

struct UpdaterRun {
    ProcessResult process;
    std::vector<std::wstring> boxes;  // the text of every "Olvane" box, in order
};
// Starts the updater, presses OK on every "Olvane" box it shows and waits for its exit.
// extraEnvironment: "NAME=value" entries that replace or add to the inherited ones.
UpdaterRun RunUpdater(const std::vector<std::string>& extraEnvironment = {},
                      DWORD timeoutMs = 60000);

}  // namespace qt

#endif
