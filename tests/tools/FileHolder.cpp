// Holds a file open for reading, as another program reading the region list would, for
// the given time. Usage: FileHolder.exe PATH MILLISECONDS [MODE]
// MODE "delete" shares reading, writing and deleting, as a backup program does; "write"
// opens it for writing too, as the device software writing its list would; "mutex"
// holds the named mutex PATH instead, as another run of the updater would. Otherwise it
// shares reading only.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: FileHolder.exe PATH MILLISECONDS [delete|write|mutex]\n");
        return 2;
    }
    const char* mode = argc > 3 ? argv[3] : "";
    HANDLE held;
    if (strcmp(mode, "mutex") == 0) {
        held = CreateMutexA(nullptr, TRUE, argv[1]);
        if (held != nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
            WaitForSingleObject(held, INFINITE);
        }
        if (held == nullptr) held = INVALID_HANDLE_VALUE;
    } else {
        const DWORD share = strcmp(mode, "delete") == 0
                                ? FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE
                                : FILE_SHARE_READ;
        const DWORD access = strcmp(mode, "write") == 0 ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
        held = CreateFileA(argv[1], access, share, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    if (held == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "FileHolder: cannot open %s: error %lu\n", argv[1], GetLastError());
        return 1;
    }
    printf("holding %s\n", argv[1]);
    fflush(stdout);
    Sleep(strtoul(argv[2], nullptr, 10));
    if (strcmp(mode, "mutex") == 0) ReleaseMutex(held);
    CloseHandle(held);
    return 0;
}
