// Plays an on-access virus scanner: opens a file as soon as it can (the moment its
// writer closes it) with read sharing only, prints "held", and holds it for a while.
// Usage: Scanner.exe PATH HOLD_MS WAIT_MS [DELETE]
// With DELETE, it deletes that file half a second into the hold, as a share's server
// carries out the first half of a replacing rename (the delete) while the second half
// waits for the scanner.
// Exits 0 once it held the file, 1 when the file never could be opened in WAIT_MS.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: Scanner.exe PATH HOLD_MS WAIT_MS [DELETE]\n");
        return 2;
    }
    const DWORD start = GetTickCount();
    const DWORD wait = strtoul(argv[3], nullptr, 10);
    printf("watching %s\n", argv[1]);
    fflush(stdout);
    for (;;) {
        HANDLE file = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            printf("held\n");
            fflush(stdout);
            DWORD hold = strtoul(argv[2], nullptr, 10);
            if (argc > 4) {
                const DWORD first = hold < 500 ? hold : 500;
                Sleep(first);
                hold -= first;
                printf("%s\n", DeleteFileA(argv[4]) ? "deleted" : "not deleted");
                fflush(stdout);
            }
            Sleep(hold);
            CloseHandle(file);
            return 0;
        }
        if (GetTickCount() - start > wait) return 1;
    }
}
