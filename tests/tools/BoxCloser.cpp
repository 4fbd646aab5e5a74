// Waits for the program's message box (caption "Olvane") and presses its OK button.
// Usage: BoxCloser [TIMEOUT_MS]   exit code 0 when a box was closed, 1 when none came.
#include <windows.h>

#include <stdlib.h>

int main(int argc, char** argv) {
    DWORD timeout = argc > 1 ? strtoul(argv[1], nullptr, 10) : 20000;
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeout) {
        HWND box = FindWindowA("#32770", "Olvane");
        if (box && IsWindowVisible(box)) {
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            while (IsWindow(box) && GetTickCount() - start < timeout + 5000) Sleep(20);
            return IsWindow(box) ? 1 : 0;
        }
        Sleep(30);
    }
    return 1;
}
