// Holds a file open for reading with read sharing, as another program reading the
// region list would, for the given time. Usage: FileHolder.exe PATH MILLISECONDS
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

int main(int argc, char** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: FileHolder.exe PATH MILLISECONDS\n");
        return 2;
    }
    HANDLE file = CreateFileA(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "FileHolder: cannot open %s: error %lu\n", argv[1], GetLastError());
        return 1;
    }
    printf("holding %s\n", argv[1]);
    fflush(stdout);
    Sleep(strtoul(argv[2], nullptr, 10));
    CloseHandle(file);
    return 0;
}
