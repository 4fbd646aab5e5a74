// Helpers for tests that run against the real Wine prefix: its folders, the log
// configuration file and the log, registry values, processes and message boxes.
#ifndef QUORLEN_TESTS_SUPPORT_TESTSUPPORT_H
#define QUORLEN_TESTS_SUPPORT_TESTSUPPORT_H

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qt {

// ---- Error codes, printed readably when an expectation fails.
std::string Win32ErrorText(DWORD code);
#define EXPECT_WIN32_OK(call) \
    do { if (!(call)) ADD_FAILURE() << #call << " failed: " << ::qt::Win32ErrorText(GetLastError()); } while (0)

// ---- Folders of the prefix (no trailing separator).
std::string WindowsDir();
std::string AppDataDir();
std::string TempDir();  // GetTempPathA without its trailing backslash
std::string ModuleDir();  // folder of the running test executable

// ---- Files.
bool FileExists(const std::string& path);
bool ReadFileBytes(const std::string& path, std::string* bytes);
std::string ReadFileBytes(const std::string& path);  // empty when absent
bool WriteFileBytes(const std::string& path, const std::string& bytes);
// Deletes a file even when read-only; true when it is gone afterwards.
bool RemoveFile(const std::string& path);
// Sets the last-write time of a file, given in UTC.
bool SetLastWriteUtc(const std::string& path, int year, int month, int day, int hour = 12,
                     int minute = 0, int second = 0);
std::string Md5Hex(const std::string& bytes);
// What the system knows of a file (attributes, times, index, names); zeros when absent.
BY_HANDLE_FILE_INFORMATION FileInfo(const std::string& path);

// ---- The log configuration file and the log file, as the program names them.
std::string LogConfigPath();  // C:\windows\Olvane_Quorlenlog_Zindra.ini
std::string LogFilePath();    // <AppData>\PatchUpdate_Olvane_Quorlenlog_Zindra.log
// A valid configuration file with the given mask and FILESIZE texts.
void WriteLogConfig(const std::string& mask, const std::string& fileSize = "524288");
void WriteLogConfig(int mask);
// Removes both files: the next logger starts from nothing.
void ResetLogFiles();

struct Record {
    std::string timestamp, user, module, level, text;
    int pid = 0, tid = 0;
};
// Splits the log into records; every line must end in CR CR LF and parse as a record,
// else the test fails.
std::vector<Record> ReadRecords(const std::string& path = LogFilePath());
// "Level|text" of each record: compact to compare whole sequences.
std::vector<std::string> RecordLines(const std::string& path = LogFilePath());

// Creates the program's logger (module "Olvane_Quorlenlog_Zindra", prefix
// "PatchUpdate") as the program-wide logger; removes it again on destruction.
class ScopedProgramLogger {
public:
    ScopedProgramLogger();
    ~ScopedProgramLogger();
    ScopedProgramLogger(const ScopedProgramLogger&) = delete;
    ScopedProgramLogger& operator=(const ScopedProgramLogger&) = delete;
};

// ---- Registry.
constexpr const char kInstallKey[] = "SOFTWARE\\Tessaly\\Lumenfold\\Parmel\\Strings";
// Writes a value of any type under HKLM\<kInstallKey>, creating the key.
bool SetInstallValue(DWORD type, const void* data, DWORD size);
bool SetInstallDir(const std::string& text);  // REG_SZ "Installdir"
void DeleteInstallKey();
// The key under HKLM that holds PendingFileRenameOperations.
constexpr const char kSessionManager[] = "System\\CurrentControlSet\\Control\\Session Manager";
// Reads PendingFileRenameOperations as its list of strings (empty when absent).
std::vector<std::string> PendingRenames();
void ClearPendingRenames();

// ---- Processes.
struct ProcessResult {
    bool started = false;
    bool finished = false;
    DWORD exitCode = 0;
};
// Runs a command line and waits for it; a process still running after the timeout is
// ended and reported as not finished.
ProcessResult RunProcess(const std::string& commandLine, DWORD timeoutMs = 60000);

// ---- Message boxes and dialogs on the Xvfb screen.
struct BoxSeen {
    bool found = false;
    std::wstring caption;
    std::wstring text;  // the static text (control id 0xFFFF) as UTF-16
};
// Waits for a top-level dialog window (class #32770) with the caption, reads its text
// and presses OK. Call from a thread other than the one that shows the box.
BoxSeen WaitForBoxAndPressOk(const char* caption, DWORD timeoutMs = 20000);
// True when no window of class #32770 with the caption exists.
bool NoBoxWithCaption(const char* caption);

std::string ToUtf8(const std::wstring& text);
std::wstring FromUtf8(const std::string& text);

}  // namespace qt

#endif
