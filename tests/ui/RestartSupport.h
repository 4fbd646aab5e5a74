// Helpers for the restart prompt and machine restart tests: a counting stand-in for the
// reboot call, the shutdown privilege of this process's token, and the log records of
// one tag.
#ifndef QUORLEN_TESTS_UI_RESTARTSUPPORT_H
#define QUORLEN_TESTS_UI_RESTARTSUPPORT_H

#include <windows.h>

#include <gtest/gtest.h>

#include "base/Platform.h"
#include "base/Seam.h"

#include <string>
#include <vector>

namespace rt {

// What the stand-in for ExitWindowsEx saw; reset before each case.
struct ExitCalls {
    int count = 0;
    UINT flags = 0;
    DWORD reason = 0;
    bool privilegeEnabled = false;  // SeShutdownPrivilege enabled at the time of the call
    bool promptAlive = false;       // the restart prompt still existed at the time of the call
};
extern ExitCalls g_exitCalls;
extern BOOL g_exitResult;  // what the stand-in returns

BOOL WINAPI FakeExitWindowsEx(UINT flags, DWORD reason);

// Every record written (mask 15, a fresh log) and the reboot replaced by the counting
// stand-in, which accepts it.
class RebootStandInTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    ScopedSeam<ExitWindowsExFn> exitSeam_{g_exitWindowsEx, FakeExitWindowsEx};
};

// What a second thread saw of the restart prompt while it was open, as the user sees it.
struct PromptView {
    bool found = false;
    std::wstring caption, question, restartNow, restartLater;
    RECT rect = {};
    LRESULT defaultId = 0;     // DM_GETDEFID
    bool focusOnRestartNow = false;
};

// How the second thread ends the prompt: a click on either button, Enter or Esc on the
// focused control (the dialog manager turns them into commands), or the close box.
enum class Press { RestartNow, RestartLater, Enter, Escape, CloseBox };

struct PromptRun {
    INT_PTR result = -2;       // what DialogBoxParamA returned
    PromptView view;
    bool endedByPress = false; // the prompt went away after the press, without help
};

// Opens IDD_RESTART modally on this thread with proc as its procedure, while a second
// thread waits for it, reads it and presses.
PromptRun RunPrompt(Press press, DLGPROC proc);

// The process token's SeShutdownPrivilege: whether it is enabled, and switching it.
bool ShutdownPrivilegeEnabled();
bool SetShutdownPrivilege(bool enabled);

// "Level|text" of the records whose text begins with tag + " ".
std::vector<std::string> TaggedLines(const std::string& tag);
int CountLines(const std::vector<std::string>& lines, const std::string& line);

}  // namespace rt

#endif
