// Waits for a message box or dialog with the given caption, prints its text (UTF-8) and
// presses OK, as a user would. Scripts use it where a test process is not at hand.
// Usage: BoxWatcher.exe CAPTION [TIMEOUT_MS] [--wait-only]
//   --wait-only: report that the box is on screen and leave it there.
// Exit code 0 when the box was found, 1 when it did not appear in time.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: BoxWatcher.exe CAPTION [TIMEOUT_MS] [--wait-only]\n");
        return 2;
    }
    const char* caption = argv[1];
    DWORD timeout = argc > 2 ? strtoul(argv[2], nullptr, 10) : 20000;
    bool waitOnly = argc > 3 && strcmp(argv[3], "--wait-only") == 0;

    DWORD start = GetTickCount();
    HWND box = nullptr;
    while (!(box = FindWindowA("#32770", caption)) || !IsWindowVisible(box)) {
        if (GetTickCount() - start > timeout) {
            fprintf(stderr, "BoxWatcher: no visible box \"%s\" within %lu ms\n", caption, timeout);
            return 1;
        }
        Sleep(30);
    }
    wchar_t text[4096] = {};
    if (!GetDlgItemTextW(box, 0xFFFF, text, 4096)) GetWindowTextW(box, text, 4096);
    char utf8[16384] = {};
    WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8, sizeof utf8 - 1, nullptr, nullptr);
    printf("%s\n", utf8);
    fflush(stdout);
    if (waitOnly) return 0;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    while (IsWindow(box) && GetTickCount() - start < timeout + 5000) Sleep(20);
    return 0;
}
