// Stays on the session's desktop until it is ended (wineserver -k). Wine closes the
// desktop a second after the last program on it ends, and the next window then waits
// for a new one: a minute or more under qemu, long enough for a box to be missed.
// Usage: DesktopHolder.exe   prints "holding the desktop" once the desktop is up.
#include <windows.h>

#include <stdio.h>

int main() {
    // A window call puts this thread on the desktop, where it counts as a user.
    if (GetDesktopWindow() == nullptr) {
        fprintf(stderr, "DesktopHolder: no desktop\n");
        return 1;
    }
    printf("holding the desktop\n");
    fflush(stdout);
    Sleep(INFINITE);
    return 0;
}
