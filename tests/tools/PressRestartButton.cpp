// Finds the restart prompt on the screen (a visible dialog holding the question
// control) in any process of the prefix, prints its screen rectangle as
// "left top width height", and presses one of its buttons the way a click does.
// Usage: PressRestartButton.exe [ok|cancel|none] [timeout-ms] [--texts]
//   --texts: then prints the caption, the question and the two buttons' texts, one line
//            each, in UTF-8 (a script without a test process reads them this way).
// Exit code 0 when the prompt was found (and pressed), 1 when it never appeared.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "resources/resource.h"

namespace {

BOOL CALLBACK FindPrompt(HWND window, LPARAM found) {
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (strcmp(className, "#32770") == 0 && IsWindowVisible(window) &&
        GetDlgItem(window, IDC_RESTART_TEXT) != nullptr) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// The window's text as one UTF-8 line.
void PrintText(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    char utf8[4096] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8 - 1, nullptr, nullptr);
    printf("%s\n", utf8);
}

}  // namespace

int main(int argc, char** argv) {
    const char* button = argc > 1 ? argv[1] : "cancel";
    DWORD timeout = argc > 2 ? static_cast<DWORD>(atoi(argv[2])) : 20000;
    bool texts = argc > 3 && strcmp(argv[3], "--texts") == 0;
    int id = 0;
    if (strcmp(button, "ok") == 0) id = IDOK;
    else if (strcmp(button, "cancel") == 0) id = IDCANCEL;

    HWND prompt = nullptr;
    DWORD start = GetTickCount();
    while (prompt == nullptr && GetTickCount() - start < timeout) {
        EnumWindows(FindPrompt, reinterpret_cast<LPARAM>(&prompt));
        if (prompt == nullptr) Sleep(50);
    }
    if (prompt == nullptr) {
        fprintf(stderr, "PressRestartButton: no restart prompt within %lu ms\n", timeout);
        return 1;
    }
    RECT r = {};
    GetWindowRect(prompt, &r);
    printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    if (texts) {
        PrintText(prompt);
        PrintText(GetDlgItem(prompt, IDC_RESTART_TEXT));
        PrintText(GetDlgItem(prompt, IDOK));
        PrintText(GetDlgItem(prompt, IDCANCEL));
    }
    fflush(stdout);
    // A click on a button reaches the dialog as BN_CLICKED from that button.
    if (id != 0)
        PostMessageA(prompt, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(prompt, id)));
    return 0;
}
