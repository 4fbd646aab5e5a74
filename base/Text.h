// Bounded text helpers over fixed char buffers. Every function terminates the
// destination and never writes past its capacity; the result says whether the whole
// text fit (1) or had to be cut (0).
#ifndef QUORLEN_BASE_TEXT_H
#define QUORLEN_BASE_TEXT_H

#include <stdarg.h>
#include <stddef.h>

// The program's path and message buffers.
constexpr size_t kPathSize = 1024;
using PathBuffer = char[kPathSize];

// The length of text, or capacity when no terminator comes before it: strnlen, which
// Windows 2000's msvcrt.dll lacks. The runtime's static copy carries an unwind table that
// nothing reads and that costs the release a section of its own.
size_t TextLength(const char* text, size_t capacity);

int CopyText(char* dst, size_t capacity, const char* src);
int AppendText(char* dst, size_t capacity, const char* src);

// Formats with the runtime's _vsnprintf rules; a longer result is cut.
int FormatText(char* dst, size_t capacity, const char* format, ...)
    __attribute__((format(ms_printf, 3, 4)));
int FormatTextV(char* dst, size_t capacity, const char* format, va_list args);

// PathAppendA into a buffer of the given capacity: adds a separator only where
// needed. 0 when the platform refuses (the result would not fit MAX_PATH), or when
// the buffer is too small for PathAppendA's MAX_PATH contract; the buffer is then
// unchanged.
int AppendPath(char* path, size_t capacity, const char* more);

template <size_t N>
int CopyText(char (&dst)[N], const char* src) { return CopyText(dst, N, src); }
template <size_t N>
int AppendText(char (&dst)[N], const char* src) { return AppendText(dst, N, src); }
template <size_t N>
int AppendPath(char (&path)[N], const char* more) { return AppendPath(path, N, more); }

#endif
