// The update run inside the test process, for the platform failures that only a seam
// can make: GetVersionExA failing, the message box failing, and a full event log.
#include "base/Platform.h"
#include "base/Seam.h"
#include "tests/e2e/E2eFixture.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int);

namespace e2e {
namespace {

BOOL WINAPI FailingGetVersionEx(LPOSVERSIONINFOA) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

int WINAPI FailingMessageBox(HWND, LPCSTR, LPCSTR, UINT) { return 0; }

BOOL WINAPI FullEventLog(HANDLE, WORD, WORD, DWORD, PSID, WORD, DWORD, LPCSTR*, LPVOID) {
    SetLastError(ERROR_LOG_FILE_FULL);
    return FALSE;
}

int RunWinMain() {
    char commandLine[] = "";
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine, SW_SHOWNORMAL);
}

TEST_F(UpdaterScenario, VersionUnknownEndsSilently) {
    InstallSuite();
    qt::WriteLogConfig(15);
    ScopedSeam<GetVersionExFn> seam(g_getVersionEx, FailingGetVersionEx);

    EXPECT_EQ(0, RunWinMain());

    EXPECT_TRUE(qt::NoBoxWithCaption("Olvane"));
    EXPECT_EQ(kOldList, Installed());
    EXPECT_FALSE(qt::FileExists(StagedPath()));
    EXPECT_EQ((std::vector<std::string>{"Main Trace|Quorlen::WinMain(Zindra)- Entering",
                                        "Main Trace|Quorlen::WinMain(Zindra)- Exiting"}),
              qt::RecordLines());
}

TEST_F(UpdaterScenario, BoxThatCannotBeShownIsLogged) {
    ScopedSeam<MessageBoxFn> seam(g_messageBox, FailingMessageBox);
    // No installation: message 1 is due, and the box fails.
    EXPECT_EQ(0, RunWinMain());
    std::vector<std::string> records = qt::RecordLines();
    EXPECT_EQ((std::vector<std::string>{
                  "Error|Quorlen::GetInstalledPathRegOpenKeyEx Failed for Olvane_REG_INSTALL_KEY",
                  "Error| Quorlen:: Failed to disply messagebox",
                  "Error| Quorlen:: Could not get the installation path. So, No relevant Software "
                  "found"}),
              records);

    // The superseded list, replaced, and then the box fails: the failure is logged after
    // the replacement, and the staged copy is still cleaned up.
    qt::ResetLogFiles();
    InstallSuite();
    EXPECT_EQ(0, RunWinMain());
    EXPECT_EQ(qt::ExpectedRegionList(), Installed());
    EXPECT_FALSE(qt::FileExists(StagedPath()));
    EXPECT_EQ((std::vector<std::string>{kRecordQueried, "Error| Quorlen:: Failed to disply messagebox"}),
              qt::RecordLines());
}

TEST_F(UpdaterScenario, EventThatCannotBeWrittenIsLogged) {
    // The event comes first, so its failure is recorded before the box's.
    ScopedSeam<MessageBoxFn> box(g_messageBox, FailingMessageBox);
    ScopedSeam<ReportEventFn> seam(g_reportEvent, FullEventLog);
    EXPECT_EQ(0, RunWinMain());
    EXPECT_EQ((std::vector<std::string>{
                  "Error|Quorlen::GetInstalledPathRegOpenKeyEx Failed for Olvane_REG_INSTALL_KEY",
                  "Error|Quorlen::WinMain(Zindra) ReportEventA failed with error 1502",
                  "Error| Quorlen:: Failed to disply messagebox",
                  "Error| Quorlen:: Could not get the installation path. So, No relevant Software "
                  "found"}),
              qt::RecordLines());
}

TEST_F(UpdaterScenario, RunInProcessShowsOneBoxAndReturnsZero) {
    InstallSuite();
    qt::BoxAnswered box = qt::ShowAndPressOk(RunWinMain);

    EXPECT_EQ(0, box.result);
    EXPECT_TRUE(box.seen.found);
    EXPECT_EQ(kTextCompleted, box.seen.text);
    EXPECT_EQ(1u, box.buttons.size());
    EXPECT_EQ(qt::ExpectedRegionList(), Installed());
}

}  // namespace
}  // namespace e2e
