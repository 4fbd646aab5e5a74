// The diagnostic log: one record per line in a per-user file, filtered by the module's
// level mask and stopped at a size limit. A logger whose set-up failed still exists
// and writes nothing, so callers never test its state.
#ifndef QUORLEN_LOG_LOGGER_H
#define QUORLEN_LOG_LOGGER_H

#include <windows.h>
#include <stdarg.h>
#include <stdio.h>

#define QUORLEN_PRINTF(fmt, first) __attribute__((format(ms_printf, fmt, first)))

enum LogLevel { kLevelError = 1, kLevelWarning = 2, kLevelMainTrace = 4, kLevelDetailedTrace = 8 };

class Logger {
public:
    static constexpr int kNameSize = 260;

    // Names longer than 259 characters are cut. Reads the configuration file (seeding
    // it when needed) and opens the log for appending.
    Logger(const char* moduleName, const char* logNamePrefix);
    ~Logger();
    Logger(const Logger&) = delete;
    Logger& operator=(const Logger&) = delete;

    // printf-style, by the rules of _vsnprintf; a text is cut to 1023 characters.
    void LogError(const char* format, ...) QUORLEN_PRINTF(2, 3);
    void LogWarning(const char* format, ...) QUORLEN_PRINTF(2, 3);
    void LogMainTrace(const char* format, ...) QUORLEN_PRINTF(2, 3);
    void LogDetailedTrace(const char* format, ...) QUORLEN_PRINTF(2, 3);

    // Writes one record with the text verbatim; always 1.
    int WriteRecord(const char* levelName, const char* text);
    // Fills path (kNameSize characters) with folder\prefix_module.log and starts
    // currentSize at the size of an existing file. 0, with path empty, when the
    // folder and the name together do not fit.
    int BuildLogPath(char* path, const char* prefix, const char* module);
    // Reads the module's mask and the size limit; returns the mask, or -1 when the
    // module's key gave no text.
    int ReadLogConfig();

    // Read-only views of the state, for reports and tests.
    int LevelMask() const { return levelMask; }
    int MaxFileSize() const { return maxFileSize; }
    long CurrentSize() const { return currentSize; }
    int Enabled() const { return enabled; }
    bool HasStream() const { return stream != nullptr; }
    const char* LogPath() const { return logPath; }
    const char* UserName() const { return userName; }
    const char* ModuleName() const { return moduleName; }

private:
    void Log(const char* levelName, const char* format, va_list args);
    bool Passes(int bit) const { return enabled != 0 && (levelMask | (15 - bit)) == 15; }
    void Put(const char* piece, size_t length);
    // Characters of the multibyte code page (_mbslen) in a text of that many bytes.
    long CountChars(const char* text, size_t length) const;

    FILE* stream;
    int levelMask;
    int maxFileSize;
    volatile LONG currentSize;
    CRITICAL_SECTION lock;
    char moduleName[kNameSize];
    char userName[kNameSize];
    char logNamePrefix[kNameSize];
    char logPath[kNameSize];
    volatile LONG enabled;
    bool leadBytes;  // the code page has double-byte characters
};

// The program's one logger, or null. Every call site reads it anew.
extern Logger* g_logger;

#define LOG_ERROR(...) \
    do { if (Logger* log_ = g_logger) log_->LogError(__VA_ARGS__); } while (0)
#define LOG_MAIN_TRACE(...) \
    do { if (Logger* log_ = g_logger) log_->LogMainTrace(__VA_ARGS__); } while (0)

#endif
