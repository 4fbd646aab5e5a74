#include "base/Text.h"

#include <windows.h>
#include <shlwapi.h>
#include <stdio.h>
#include <string.h>

size_t TextLength(const char* text, size_t capacity) {
    size_t length = 0;
    while (length < capacity && text[length] != '\0') ++length;
    return length;
}

int CopyText(char* dst, size_t capacity, const char* src) {
    if (capacity == 0) return 0;
    dst[0] = '\0';
    return AppendText(dst, capacity, src);
}

int AppendText(char* dst, size_t capacity, const char* src) {
    if (capacity == 0) return 0;
    size_t used = TextLength(dst, capacity);
    if (used == capacity) {  // unterminated: terminate what is there, append nothing
        dst[capacity - 1] = '\0';
        return 0;
    }
    size_t room = capacity - 1 - used;
    size_t len = strlen(src);
    size_t n = len < room ? len : room;
    memcpy(dst + used, src, n);
    dst[used + n] = '\0';
    return n == len ? 1 : 0;
}

int FormatTextV(char* dst, size_t capacity, const char* format, va_list args) {
    if (capacity == 0) return 0;
    // _vsnprintf leaves the buffer unterminated when the text fills it, and returns a
    // negative count when it had to cut.
    int n = _vsnprintf(dst, capacity - 1, format, args);
    dst[capacity - 1] = '\0';
    if (n < 0) return 0;
    dst[n] = '\0';
    return 1;
}

int FormatText(char* dst, size_t capacity, const char* format, ...) {
    va_list args;
    va_start(args, format);
    int ok = FormatTextV(dst, capacity, format, args);
    va_end(args);
    return ok;
}

int AppendPath(char* path, size_t capacity, const char* more) {
    if (capacity < MAX_PATH) return 0;
    // PathAppendA's contract covers inputs shorter than MAX_PATH only: it then writes
    // at most MAX_PATH characters.
    if (TextLength(path, MAX_PATH) >= MAX_PATH || TextLength(more, MAX_PATH) >= MAX_PATH) return 0;
    // PathAppendA empties the buffer when the result would not fit; callers log and go
    // on with the text they had, so put it back.
    char saved[MAX_PATH];
    memcpy(saved, path, strlen(path) + 1);
    if (PathAppendA(path, more)) return 1;
    memcpy(path, saved, strlen(saved) + 1);
    return 0;
}
