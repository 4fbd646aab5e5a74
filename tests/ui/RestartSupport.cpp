#include "tests/ui/RestartSupport.h"

#include <string.h>

#include <algorithm>
#include <thread>

#include "resources/resource.h"
#include "tests/support/TestSupport.h"
#include "ui/Restart.h"

namespace rt {

ExitCalls g_exitCalls;
BOOL g_exitResult = TRUE;

BOOL WINAPI FakeExitWindowsEx(UINT flags, DWORD reason) {
    ++g_exitCalls.count;
    g_exitCalls.flags = flags;
    g_exitCalls.reason = reason;
    g_exitCalls.privilegeEnabled = ShutdownPrivilegeEnabled();
    g_exitCalls.promptAlive = g_restartDialog != nullptr && IsWindow(g_restartDialog);
    return g_exitResult;
}

static BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (strcmp(className, "#32770") == 0) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

static BOOL CALLBACK FindVisibleDialog(HWND window, LPARAM found) {
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (strcmp(className, "#32770") == 0 && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

static std::wstring Text(HWND window) {
    wchar_t text[2048] = {};
    GetWindowTextW(window, text, 2048);
    return text;
}

static bool WaitUntilGone(HWND window, DWORD timeoutMs) {
    DWORD start = GetTickCount();
    while (IsWindow(window)) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(20);
    }
    return true;
}

static void InspectAndPress(DWORD dialogThread, Press press, PromptRun* run) {
    HWND dialog = nullptr;
    DWORD start = GetTickCount();
    while (dialog == nullptr && GetTickCount() - start < 15000) {
        EnumThreadWindows(dialogThread, FindVisibleDialog, reinterpret_cast<LPARAM>(&dialog));
        if (dialog == nullptr) Sleep(20);
    }
    if (dialog == nullptr) {
        // DialogBoxParamA failed, or the prompt never showed (no screen): end a hidden one.
        EnumThreadWindows(dialogThread, FindDialog, reinterpret_cast<LPARAM>(&dialog));
        if (dialog != nullptr) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        return;
    }

    PromptView& view = run->view;
    view.found = true;
    view.caption = Text(dialog);
    view.question = Text(GetDlgItem(dialog, IDC_RESTART_TEXT));
    HWND restartNow = GetDlgItem(dialog, IDOK);
    HWND restartLater = GetDlgItem(dialog, IDCANCEL);
    view.restartNow = Text(restartNow);
    view.restartLater = Text(restartLater);
    GetWindowRect(dialog, &view.rect);
    view.defaultId = SendMessageA(dialog, DM_GETDEFID, 0, 0);
    GUITHREADINFO gui = {};
    gui.cbSize = sizeof gui;
    view.focusOnRestartNow = GetGUIThreadInfo(dialogThread, &gui) && gui.hwndFocus == restartNow;

    HWND focused = gui.hwndFocus ? gui.hwndFocus : dialog;
    switch (press) {
    case Press::RestartNow: PostMessageA(restartNow, BM_CLICK, 0, 0); break;
    case Press::RestartLater: PostMessageA(restartLater, BM_CLICK, 0, 0); break;
    case Press::Enter: PostMessageA(focused, WM_KEYDOWN, VK_RETURN, 0x001C0001); break;
    case Press::Escape: PostMessageA(focused, WM_KEYDOWN, VK_ESCAPE, 0x00010001); break;
    case Press::CloseBox: PostMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0); break;
    }
    run->endedByPress = WaitUntilGone(dialog, 10000);
    if (!run->endedByPress) {
        // Do not leave the test thread in a modal loop: end it the plainest way.
        PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
        if (!WaitUntilGone(dialog, 5000)) PostThreadMessageA(dialogThread, WM_QUIT, 0, 0);
    }
}

PromptRun RunPrompt(Press press, DLGPROC proc) {
    PromptRun run;
    std::thread inspector(InspectAndPress, GetCurrentThreadId(), press, &run);
    run.result = DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_RESTART), nullptr,
                                 proc, 0);
    inspector.join();
    return run;
}

static bool ShutdownLuid(LUID* luid) {
    return LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", luid) != FALSE;
}

bool ShutdownPrivilegeEnabled() {
    LUID luid;
    HANDLE token = nullptr;
    if (!ShutdownLuid(&luid) || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    bool enabled = false;
    DWORD size = 0;
    GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
    std::vector<BYTE> buffer(size ? size : 1);
    if (GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size)) {
        const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
        for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
            const LUID_AND_ATTRIBUTES& p = privileges->Privileges[i];
            if (p.Luid.LowPart == luid.LowPart && p.Luid.HighPart == luid.HighPart)
                enabled = (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
        }
    }
    CloseHandle(token);
    return enabled;
}

bool SetShutdownPrivilege(bool enabled) {
    TOKEN_PRIVILEGES privileges = {};
    HANDLE token = nullptr;
    if (!ShutdownLuid(&privileges.Privileges[0].Luid) ||
        !OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token))
        return false;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = enabled ? SE_PRIVILEGE_ENABLED : 0;
    bool ok = AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
              GetLastError() == ERROR_SUCCESS;
    CloseHandle(token);
    return ok;
}

void RebootStandInTest::SetUp() {
    qt::ResetLogFiles();
    qt::WriteLogConfig(15);
    g_exitCalls = ExitCalls();
    g_exitResult = TRUE;
}

void RebootStandInTest::TearDown() { qt::ResetLogFiles(); }

std::vector<std::string> TaggedLines(const std::string& tag) {
    std::vector<std::string> lines;
    for (const qt::Record& r : qt::ReadRecords())
        if (r.text.compare(0, tag.size() + 1, tag + " ") == 0) lines.push_back(r.level + "|" + r.text);
    return lines;
}

int CountLines(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

}  // namespace rt
