#include "log/Logger.h"

#include <windows.h>
#include <shlobj.h>
#include <mbstring.h>
#include <stdlib.h>
#include <string.h>

#include "base/Files.h"
#include "base/Handles.h"
#include "base/Text.h"
#include "log/LogConfig.h"

Logger* g_logger = nullptr;

namespace {

const char kLimitNotice[] = "**** Log file size has exceeded the permissible limit of %d ****";

// Builds a piece of a record in a fixed buffer, cutting it where the bounded
// formatting it stands in for would have cut it.
class Piece {
public:
    Piece(char* begin, size_t limit) : begin_(begin), at_(begin), end_(begin + limit) {}

    void Text(const char* text, size_t length) {
        size_t room = static_cast<size_t>(end_ - at_);
        if (length > room) length = room;
        memcpy(at_, text, length);
        at_ += length;
    }
    void Text(const char* text) { Text(text, strlen(text)); }
    // The digits of %d.
    void Decimal(int value) {
        char digits[12];
        char* d = digits + sizeof digits;
        unsigned magnitude = value < 0 ? 0u - static_cast<unsigned>(value) : static_cast<unsigned>(value);
        do {
            *--d = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (value < 0) *--d = '-';
        Text(d, static_cast<size_t>(digits + sizeof digits - d));
    }
    char* End() const { return at_; }
    size_t Length() const { return static_cast<size_t>(at_ - begin_); }

private:
    char* begin_;
    char* at_;
    char* end_;
};

}  // namespace

Logger::Logger(const char* module, const char* prefix)
    : stream(nullptr),
      levelMask(0),
      // Defined before the configuration is read, so that an empty FILESIZE value
      // leaves the seeded limit rather than an indeterminate one.
      maxFileSize(kDefaultMaxLogSize),
      currentSize(0),
      moduleName(),
      userName(),
      logNamePrefix(),
      logPath(),
      enabled(0),
      leadBytes(false) {
    InitializeCriticalSection(&lock);
    // Without lead bytes in the code page every byte is a character.
    for (unsigned c = 0x80; c <= 0xFF && !leadBytes; ++c) leadBytes = _ismbblead(c) != 0;

    DWORD size = sizeof userName;
    if (!GetUserNameA(userName, &size)) userName[0] = '\0';

    if (CheckLogConfig() != 1) return;

    InterlockedExchange(&enabled, 1);
    CopyText(moduleName, module);
    CopyText(logNamePrefix, prefix);

    if (ReadLogConfig() == 0) return;

    if (!BuildLogPath(logPath, logNamePrefix, moduleName)) {
        InterlockedExchange(&enabled, 0);
        return;
    }
    // A log that is also another file's name would append to that file, wherever the
    // link points: no log for this run then.
    if (!HasOtherNames(logPath)) stream = fopen(logPath, "a+");
    if (stream == nullptr) InterlockedExchange(&enabled, 0);
}

Logger::~Logger() {
    if (stream != nullptr) {
        fclose(stream);
        stream = nullptr;
    }
    DeleteCriticalSection(&lock);
}

int Logger::ReadLogConfig() {
    char value[260] = {};
    int result = -1;
    // A module without a key of its own reads "DEFAULT", that is mask 0: turned off.
    if (GetPrivateProfileStringA("Modules", moduleName, "DEFAULT", value, sizeof value,
                                 kLogConfigFile) > 0) {
        levelMask = atoi(value);
        result = levelMask;
    }
    if (GetPrivateProfileStringA("LogFileSize", "FILESIZE", "DEFAULT", value, sizeof value,
                                 kLogConfigFile) > 0) {
        maxFileSize = atoi(value);
    }
    return result;
}

int Logger::BuildLogPath(char* path, const char* prefix, const char* module) {
    memset(path, 0, kNameSize);
    if (SHGetSpecialFolderPathA(nullptr, path, CSIDL_APPDATA, FALSE) != TRUE) {
        // GetTempPathA reports the size it would need when the folder does not fit.
        DWORD n = GetTempPathA(kNameSize, path);
        if (n == 0 || n >= static_cast<DWORD>(kNameSize)) path[0] = '\0';
    }
    // The separator goes in unconditionally: the temp folder already ends in one, and
    // the doubled separator that results is accepted by the platform.
    int fits = AppendText(path, kNameSize, "\\") & AppendText(path, kNameSize, prefix) &
               AppendText(path, kNameSize, "_") & AppendText(path, kNameSize, module) &
               AppendText(path, kNameSize, ".log");
    if (!fits) {
        // A cut path would name some other file: better no log at all.
        memset(path, 0, kNameSize);
        return 0;
    }

    WIN32_FIND_DATAA found;
    ScopedFind search(FindFirstFileA(path, &found));
    if (search.IsValid()) InterlockedExchange(&currentSize, static_cast<LONG>(found.nFileSizeLow));
    return 1;
}

void Logger::Log(const char* levelName, const char* format, va_list args) {
    char text[1024];
    FormatTextV(text, sizeof text, format, args);
    if (currentSize >= maxFileSize) {
        InterlockedExchange(&enabled, 0);
        FormatText(text, sizeof text, kLimitNotice, maxFileSize);
        WriteRecord("Error", text);
        return;
    }
    WriteRecord(levelName, text);
}

void Logger::Put(const char* piece, size_t length) {
    // fwrite, not fputs: some runtimes put a text-mode fputs through one character at a
    // time. The bytes are the same, as the line-end translation happens when the buffer
    // is written out.
    if (fwrite(piece, 1, length, stream) != length) InterlockedExchange(&enabled, 0);
}

long Logger::CountChars(const char* text, size_t length) const {
    if (!leadBytes) return static_cast<long>(length);
    return static_cast<long>(_mbslen(reinterpret_cast<const unsigned char*>(text)));
}

int Logger::WriteRecord(const char* levelName, const char* text) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    if (stream == nullptr) {
        InterlockedExchange(&enabled, 0);
        return 1;
    }

    EnterCriticalSection(&lock);
    // The timestamp "%d.%d.%d.%d.%d.%d.%d.%d, " and the header "[PID: %d - TID: %d],
    // [User: %s], [%s], [%s], " (cut at 1023 characters) are put together by hand: the
    // runtime's formatting of the two cost a third of a record. The whole record then
    // goes out in one write.
    char record[3 * 1024];
    Piece stamp(record, 1023);
    const int numbers[] = {now.wYear, now.wMonth, now.wDayOfWeek, now.wDay,
                           now.wHour, now.wMinute, now.wSecond, now.wMilliseconds};
    for (int i = 0; i < 8; ++i) {
        stamp.Decimal(numbers[i]);
        stamp.Text(i < 7 ? "." : ", ", i < 7 ? 1 : 2);
    }
    Piece header(stamp.End(), 1023);
    header.Text("[PID: ", 6);
    header.Decimal(static_cast<int>(GetCurrentProcessId()));
    header.Text(" - TID: ", 8);
    header.Decimal(static_cast<int>(GetCurrentThreadId()));
    header.Text("], [User: ", 10);
    header.Text(userName);
    header.Text("], [", 4);
    header.Text(moduleName);
    header.Text("], [", 4);
    header.Text(levelName);
    header.Text("], ", 3);
    *header.End() = '\0';
    // The timestamp is digits and punctuation: one character a byte.
    long counted = static_cast<long>(stamp.Length()) + CountChars(stamp.End(), header.Length());

    const size_t textLength = strlen(text);
    counted += CountChars(text, textLength) + 3;
    // The text-mode stream turns the line feed into CR LF: every record ends CR CR LF.
    const size_t used = stamp.Length() + header.Length();
    if (textLength + 2 <= sizeof record - used) {
        memcpy(record + used, text, textLength);
        memcpy(record + used + textLength, "\r\n", 2);
        Put(record, used + textLength + 2);
    } else {  // a text longer than any level operation passes
        Put(record, used);
        Put(text, textLength);
        Put("\r\n", 2);
    }
    InterlockedExchangeAdd(&currentSize, counted);

    // The stream holds the whole record in its buffer, so a full or failing disk shows
    // at the flush, not at the write: that too is a failed write. Going on would retry
    // every later record, and one that lands once space frees up would follow a torn line.
    if (fflush(stream) != 0) InterlockedExchange(&enabled, 0);
    LeaveCriticalSection(&lock);
    return 1;
}

#define QUORLEN_LEVEL_OPERATION(Name, bit, levelName) \
    void Logger::Name(const char* format, ...) {      \
        if (!Passes(bit)) return;                     \
        va_list args;                                 \
        va_start(args, format);                       \
        Log(levelName, format, args);                 \
        va_end(args);                                 \
    }

QUORLEN_LEVEL_OPERATION(LogError, kLevelError, "Error")
QUORLEN_LEVEL_OPERATION(LogWarning, kLevelWarning, "Warning")
QUORLEN_LEVEL_OPERATION(LogMainTrace, kLevelMainTrace, "Main Trace")
QUORLEN_LEVEL_OPERATION(LogDetailedTrace, kLevelDetailedTrace, "Detailed Trace")
