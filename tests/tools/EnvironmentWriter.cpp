// A stand-in for a program that a script starts: writes the environment it was started
// with, one variable a line, to environment.txt beside itself, and exits with 0.
#include <windows.h>

#include <stdio.h>
#include <string.h>

int main() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    char* folder = length != 0 && length < MAX_PATH ? strrchr(path, '\\') : nullptr;
    if (folder == nullptr || static_cast<size_t>(folder - path) + 17 >= MAX_PATH) return 3;
    strcpy(folder + 1, "environment.txt");
    FILE* out = fopen(path, "wb");
    if (out == nullptr) return 3;
    char* block = GetEnvironmentStringsA();
    for (const char* entry = block; entry != nullptr && *entry != '\0'; entry += strlen(entry) + 1)
        fprintf(out, "%s\n", entry);
    FreeEnvironmentStringsA(block);
    return fclose(out) == 0 ? 0 : 3;
}
