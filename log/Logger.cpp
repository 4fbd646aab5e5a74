#include "log/Logger.h"

#include <windows.h>
#include <shlobj.h>
#include <mbstring.h>
#include <stdlib.h>
#include <string.h>

#include "base/Handles.h"
#include "base/Text.h"
#include "log/LogConfig.h"

Logger* g_logger = nullptr;

namespace {

const char kLimitNotice[] = "**** Log file size has exceeded the permissible limit of %d ****";

long CountChars(const char* text) {
    return static_cast<long>(_mbslen(reinterpret_cast<const unsigned char*>(text)));
}

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
      enabled(0) {
    InitializeCriticalSection(&lock);

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
    stream = fopen(logPath, "a+");
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

void Logger::Put(const char* piece) {
    if (fputs(piece, stream) < 0) InterlockedExchange(&enabled, 0);
}

int Logger::WriteRecord(const char* levelName, const char* text) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    if (stream == nullptr) {
        InterlockedExchange(&enabled, 0);
        return 1;
    }

    EnterCriticalSection(&lock);
    char piece[1024];
    FormatText(piece, sizeof piece, "%d.%d.%d.%d.%d.%d.%d.%d, ", now.wYear, now.wMonth,
               now.wDayOfWeek, now.wDay, now.wHour, now.wMinute, now.wSecond,
               now.wMilliseconds);
    Put(piece);
    InterlockedExchangeAdd(&currentSize, CountChars(piece));

    FormatText(piece, sizeof piece, "[PID: %d - TID: %d], [User: %s], [%s], [%s], ",
               static_cast<int>(GetCurrentProcessId()), static_cast<int>(GetCurrentThreadId()),
               userName, moduleName, levelName);
    Put(piece);
    InterlockedExchangeAdd(&currentSize, CountChars(piece));

    Put(text);
    // The text-mode stream turns this line feed into CR LF: every record ends CR CR LF.
    Put("\r\n");
    InterlockedExchangeAdd(&currentSize, CountChars(text) + 3);

    // The stream holds the whole record in its buffer, so a full or failing disk shows
    // at the flush, not at the puts: that too is a failed write. Going on would retry
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
