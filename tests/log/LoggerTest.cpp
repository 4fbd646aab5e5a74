// The logger against the real log file under Wine: record bytes, appending and the
// running size, the size limit, cut and verbatim texts, the temp fallback, oversized
// names, concurrent writers, a failing disk and the call-site macros.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>
#include <mbstring.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "base/Handles.h"
#include "log/LogConfig.h"
#include "log/Logger.h"
#include "tests/support/TestSupport.h"

namespace {

const char kModule[] = "Olvane_Quorlenlog_Zindra";
const char kPrefix[] = "PatchUpdate";
const char kNoticeOf[] = "Error|**** Log file size has exceeded the permissible limit of ";

std::string Notice(int limit) { return kNoticeOf + std::to_string(limit) + " ****"; }

// Runs fn on a thread of its own and waits for it.
DWORD RunOnThread(const std::function<void()>& fn) {
    struct Trampoline {
        static DWORD WINAPI Run(void* p) {
            (*static_cast<const std::function<void()>*>(p))();
            return 0;
        }
    };
    DWORD id = 0;
    ScopedHandle thread(CreateThread(nullptr, 0, &Trampoline::Run,
                                     const_cast<std::function<void()>*>(&fn), 0, &id));
    EXPECT_TRUE(thread.IsValid());
    WaitForSingleObject(thread.Get(), INFINITE);
    return id;
}

// Sets a registry text value for the test (or, without a text, only keeps it) and puts
// the old value, or its absence, back.
class ScopedRegText {
public:
    ScopedRegText(HKEY root, const char* subKey, const char* name, DWORD type, const char* text)
        : name_(name) {
        if (RegCreateKeyExA(root, subKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key_.Receive(),
                            nullptr) != ERROR_SUCCESS)
            return;
        DWORD size = 0;
        if (RegQueryValueExA(key_.Get(), name, nullptr, &oldType_, nullptr, &size) == ERROR_SUCCESS) {
            old_.resize(size);
            had_ = RegQueryValueExA(key_.Get(), name, nullptr, &oldType_,
                                    reinterpret_cast<BYTE*>(&old_[0]), &size) == ERROR_SUCCESS;
        }
        if (text)
            set_ = RegSetValueExA(key_.Get(), name, 0, type, reinterpret_cast<const BYTE*>(text),
                                  static_cast<DWORD>(strlen(text) + 1)) == ERROR_SUCCESS;
    }
    ~ScopedRegText() {
        if (!key_.IsValid()) return;
        if (had_)
            RegSetValueExA(key_.Get(), name_, 0, oldType_, reinterpret_cast<const BYTE*>(old_.data()),
                           static_cast<DWORD>(old_.size()));
        else
            RegDeleteValueA(key_.Get(), name_);
    }
    bool IsSet() const { return set_; }

private:
    ScopedKey key_;
    const char* name_;
    bool had_ = false;
    bool set_ = false;
    DWORD oldType_ = 0;
    std::string old_;
};

// Sets a variable of this process's environment and restores it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        char old[32768];
        DWORD n = GetEnvironmentVariableA(name, old, sizeof old);
        had_ = n > 0 && n < sizeof old;
        if (had_) old_ = old;
        SetEnvironmentVariableA(name, value.c_str());
    }
    ~ScopedEnv() { SetEnvironmentVariableA(name_, had_ ? old_.c_str() : nullptr); }

private:
    const char* name_;
    bool had_ = false;
    std::string old_;
};

// The Unix path of a file of the prefix, through Wine's own export.
std::string UnixPath(const std::string& windowsPath) {
    using Fn = char*(CDECL*)(const wchar_t*);
    auto fn = reinterpret_cast<Fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!fn) return std::string();
    std::wstring wide(windowsPath.begin(), windowsPath.end());
    char* unix = fn(wide.c_str());
    if (!unix) return std::string();
    std::string result = unix;
    HeapFree(GetProcessHeap(), 0, unix);
    return result;
}

// Starts a program of the host system. Wine runs Unix executables as they are, but
// hands back no process to wait for: callers watch for the program's effect instead.
bool StartHost(const std::string& program, const std::string& arguments) {
    std::string line = "Z:" + program + " " + arguments;
    for (size_t i = 0; i < 2 + program.size(); ++i)
        if (line[i] == '/') line[i] = '\\';
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    ScopedHandle process(pi.hProcess), thread(pi.hThread);
    return true;
}

bool DirectoryEntryExists(const std::string& path) {
    WIN32_FIND_DATAA found;
    ScopedFind search(FindFirstFileA(path.c_str(), &found));
    return search.IsValid();
}

bool WaitUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 500; ++i) {
        if (done()) return true;
        Sleep(20);
    }
    return done();
}

// The log file made a link to the host's full device: every write to it fails with a
// full disk, as it would on a real one. Removed again with the host's rm, because the
// platform's file functions do not treat the device as a file.
class ScopedFullDiskLog {
public:
    ScopedFullDiskLog() : path_(qt::LogFilePath()), unix_(UnixPath(path_)) {
        linked_ = !unix_.empty() && StartHost("/bin/ln", "-sf /dev/full " + unix_) &&
                  WaitUntil([&] { return DirectoryEntryExists(path_); });
    }
    ~ScopedFullDiskLog() {
        if (!unix_.empty() && StartHost("/bin/rm", "-f " + unix_)) {
            EXPECT_TRUE(WaitUntil([&] { return !DirectoryEntryExists(path_); }));
        }
    }
    bool IsLinked() const { return linked_; }

private:
    std::string path_;
    std::string unix_;
    bool linked_ = false;
};

// Removes every file of a folder whose name matches the pattern.
void RemoveMatching(const std::string& folder, const char* pattern) {
    WIN32_FIND_DATAA found;
    ScopedFind search(FindFirstFileA((folder + "\\" + pattern).c_str(), &found));
    if (!search.IsValid()) return;
    do {
        qt::RemoveFile(folder + "\\" + found.cFileName);
    } while (FindNextFileA(search.Get(), &found));
}

int FileSize(const std::string& path) { return static_cast<int>(qt::ReadFileBytes(path).size()); }

class LoggerTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_logger = nullptr;
        qt::ResetLogFiles();
    }
    void TearDown() override { qt::ResetLogFiles(); }
};

TEST_F(LoggerTest, RecordCarriesTimeIdentityAndEndsInCrCrLf) {
    qt::WriteLogConfig(15);
    char user[260] = {};
    DWORD userSize = sizeof user;
    ASSERT_TRUE(GetUserNameA(user, &userSize));

    SYSTEMTIME before, after;
    DWORD otherThread = 0;
    {
        Logger logger(kModule, kPrefix);
        EXPECT_STREQ(user, logger.UserName());
        GetLocalTime(&before);
        logger.LogMainTrace("%s%s", "Quorlen::WinMain(Zindra)", "- Entering");
        GetLocalTime(&after);
        otherThread = RunOnThread([&] { logger.LogWarning("%s %d", "from thread", 2); });
    }
    ASSERT_NE(GetCurrentThreadId(), otherThread);

    const std::string bytes = qt::ReadFileBytes(qt::LogFilePath());
    size_t end = bytes.find("\r\r\n");
    ASSERT_NE(std::string::npos, end);
    const std::string first = bytes.substr(0, end + 3);

    // Eight plain decimal numbers, no leading zeros, then ", ".
    static const std::regex stamp(R"(^((?:(?:0|[1-9][0-9]*)\.){7}(?:0|[1-9][0-9]*)), )");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(first, m, stamp)) << first;
    const std::string timestamp = m[1];
    int n[8] = {};
    ASSERT_EQ(8, sscanf(timestamp.c_str(), "%d.%d.%d.%d.%d.%d.%d.%d", &n[0], &n[1], &n[2], &n[3],
                        &n[4], &n[5], &n[6], &n[7]));
    SYSTEMTIME written = {};
    written.wYear = static_cast<WORD>(n[0]);
    written.wMonth = static_cast<WORD>(n[1]);
    written.wDay = static_cast<WORD>(n[3]);
    written.wHour = static_cast<WORD>(n[4]);
    written.wMinute = static_cast<WORD>(n[5]);
    written.wSecond = static_cast<WORD>(n[6]);
    written.wMilliseconds = static_cast<WORD>(n[7]);
    FILETIME ftBefore, ftWritten, ftAfter;
    ASSERT_TRUE(SystemTimeToFileTime(&before, &ftBefore));
    ASSERT_TRUE(SystemTimeToFileTime(&written, &ftWritten)) << timestamp;
    ASSERT_TRUE(SystemTimeToFileTime(&after, &ftAfter));
    EXPECT_LE(CompareFileTime(&ftBefore, &ftWritten), 0) << timestamp;
    EXPECT_LE(CompareFileTime(&ftWritten, &ftAfter), 0) << timestamp;
    // The day of the week stands between the month and the day of the month.
    SYSTEMTIME normalised;
    ASSERT_TRUE(FileTimeToSystemTime(&ftWritten, &normalised));
    EXPECT_EQ(normalised.wDayOfWeek, n[2]) << timestamp;

    EXPECT_EQ(timestamp + ", [PID: " + std::to_string(GetCurrentProcessId()) +
                  " - TID: " + std::to_string(GetCurrentThreadId()) + "], [User: " + user +
                  "], [Olvane_Quorlenlog_Zindra], [Main Trace], "
                  "Quorlen::WinMain(Zindra)- Entering\r\r\n",
              first);

    std::vector<qt::Record> records = qt::ReadRecords();
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ(static_cast<int>(otherThread), records[1].tid);
    EXPECT_EQ(static_cast<int>(GetCurrentProcessId()), records[1].pid);
    EXPECT_EQ("Warning", records[1].level);
    EXPECT_EQ("from thread 2", records[1].text);
}

TEST_F(LoggerTest, AppendsAcrossRunsAndCountsWhatItWrites) {
    qt::WriteLogConfig(15);
    std::string firstRun;
    {
        Logger logger(kModule, kPrefix);
        EXPECT_EQ(0, logger.CurrentSize());
        logger.LogError("%s", "first run");
        firstRun = qt::ReadFileBytes(qt::LogFilePath());
        EXPECT_EQ(static_cast<long>(firstRun.size()), logger.CurrentSize());
    }
    {
        SCOPED_TRACE("second run");
        Logger logger(kModule, kPrefix);
        EXPECT_EQ(static_cast<long>(firstRun.size()), logger.CurrentSize());
        logger.LogMainTrace("%s", "second run");
        std::string bytes = qt::ReadFileBytes(qt::LogFilePath());
        ASSERT_GT(bytes.size(), firstRun.size());
        EXPECT_EQ(firstRun, bytes.substr(0, firstRun.size()));
        EXPECT_EQ(static_cast<long>(bytes.size()), logger.CurrentSize());

        // A line feed inside a text is stored as CR LF but counted as one character.
        long before = logger.CurrentSize();
        logger.LogWarning("%s", "two\nlines");
        std::string after = qt::ReadFileBytes(qt::LogFilePath());
        EXPECT_NE(std::string::npos, after.find("[Warning], two\r\nlines\r\r\n"));
        EXPECT_EQ(before + static_cast<long>(after.size() - bytes.size()) - 1, logger.CurrentSize());
    }
    EXPECT_EQ((std::vector<std::string>{"Error|first run", "Main Trace|second run",
                                        "Warning|two\r\nlines"}),
              qt::RecordLines());
}

TEST_F(LoggerTest, CountsCharactersOfTheSystemCodePage) {
    char language[64] = {};
    GetEnvironmentVariableA("QUORLEN_LC_ALL", language, sizeof language);
    // The Japanese entry of this test must really run under the double-byte code page.
    if (std::string(language).rfind("ja_JP", 0) == 0) {
        ASSERT_EQ(932u, GetACP());
    }

    qt::WriteLogConfig(15);
    // "a", two double-byte characters of code page 932, "z".
    const char text[] = "a\x82\xa0\x82\xa2z";
    Logger logger(kModule, kPrefix);
    logger.LogError("%s", "start");
    long before = logger.CurrentSize();
    int sizeBefore = FileSize(qt::LogFilePath());
    ASSERT_EQ(static_cast<long>(sizeBefore), before);
    logger.LogError("%s", text);
    int added = FileSize(qt::LogFilePath()) - sizeBefore;
    int doubleByteCharacters = GetACP() == 932 ? 2 : 0;
    EXPECT_EQ(before + added - doubleByteCharacters, logger.CurrentSize()) << "code page " << GetACP();
    EXPECT_NE(std::string::npos, qt::ReadFileBytes(qt::LogFilePath()).find(std::string(text) + "\r\r\n"));
}

// Every header byte and the running count follow the header's format, cut at 1023
// characters, for level names of any length and of double-byte characters (a trail
// byte may be ']'). The module name stays ASCII: it is part of the file name, and this
// Wine cannot map other characters to a Unix file name.
TEST_F(LoggerTest, HeaderFollowsItsFormatForAnyNames) {
    const std::string module = "Mod]%s[";
    ASSERT_TRUE(qt::WriteFileBytes(qt::LogConfigPath(),
                                   "[Signature]\r\nPROJECT=Kestrin\r\n[Modules]\r\nMod]%s[=15\r\n"
                                   "[LogFileSize]\r\nFILESIZE=524288\r\n"));
    const std::string path = qt::AppDataDir() + "\\PatchUpdate_Mod]%s[.log";
    struct Cleanup {
        std::string path;
        ~Cleanup() { qt::RemoveFile(path); }
    } cleanup{path};
    qt::RemoveFile(path);
    Logger logger(module.c_str(), kPrefix);
    ASSERT_TRUE(logger.HasStream());
    ASSERT_EQ(path, logger.LogPath());

    auto chars = [](const std::string& s) {
        return static_cast<long>(_mbslen(reinterpret_cast<const unsigned char*>(s.c_str())));
    };
    struct Case {
        std::string level, text;
    };
    const Case cases[] = {
        {"Error", "plain"},
        {"Lvl\x82", "a lead byte before the bracket"},
        {"\x81\x5d\x82\xa0", "\x81\x5d]"},
        {std::string(1100, 'L'), "after a cut header"},
        {"Detailed Trace", "\x82\xa0"},
        // Longer than any level operation passes: still written whole.
        {std::string(600, 'L'), std::string(2500, 't')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("level of " + std::to_string(c.level.size()) + " characters");
        const std::string before = qt::ReadFileBytes(path);
        const long counted = logger.CurrentSize();
        ASSERT_EQ(1, logger.WriteRecord(c.level.c_str(), c.text.c_str()));
        const std::string record = qt::ReadFileBytes(path).substr(before.size());

        char header[1024];
        _snprintf(header, sizeof header - 1, "[PID: %d - TID: %d], [User: %s], [%s], [%s], ",
                  static_cast<int>(GetCurrentProcessId()), static_cast<int>(GetCurrentThreadId()),
                  logger.UserName(), module.c_str(), c.level.c_str());
        header[sizeof header - 1] = '\0';
        const size_t stampEnd = record.find(", ") + 2;
        const std::string stamp = record.substr(0, stampEnd);
        EXPECT_EQ(stamp + header + c.text + "\r\r\n", record);
        EXPECT_EQ(counted + chars(stamp) + chars(header) + chars(c.text) + 3, logger.CurrentSize());
    }
}

TEST_F(LoggerTest, FullLogGetsOneNoticePerRunAndNothingAfter) {
    // A log with three records from an earlier run.
    qt::WriteLogConfig("15", "1000000");
    {
        Logger logger(kModule, kPrefix);
        logger.LogError("%s", "old 1");
        logger.LogError("%s", "old 2");
        logger.LogError("%s", "old 3");
    }
    const std::string old = qt::ReadFileBytes(qt::LogFilePath());
    const int size = static_cast<int>(old.size());
    std::vector<std::string> expected = {"Error|old 1", "Error|old 2", "Error|old 3"};

    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE("run " + std::to_string(run) + " at the limit");
        qt::WriteLogConfig("1", std::to_string(size));
        {
            Logger logger(kModule, kPrefix);
            EXPECT_EQ(static_cast<long>(FileSize(qt::LogFilePath())), logger.CurrentSize());
            logger.LogMainTrace("%s", "masked out");  // does not pass: no notice yet
            EXPECT_EQ(1, logger.Enabled());
            logger.LogError("%s", "turned into the notice");
            EXPECT_EQ(0, logger.Enabled());
            logger.LogError("%s", "after the notice");
            logger.LogWarning("%s", "after the notice");
        }
        expected.push_back(Notice(size));
        EXPECT_EQ(expected, qt::RecordLines());
        EXPECT_EQ(old, qt::ReadFileBytes(qt::LogFilePath()).substr(0, old.size()));
    }

    {
        SCOPED_TRACE("mask 8: a Detailed Trace record becomes an Error notice");
        qt::WriteLogConfig("8", std::to_string(size));
        Logger logger(kModule, kPrefix);
        logger.LogError("%s", "masked out");
        EXPECT_EQ(1, logger.Enabled());
        logger.LogDetailedTrace("%s", "detail");
        logger.LogDetailedTrace("%s", "detail after");
        expected.push_back(Notice(size));
        EXPECT_EQ(expected, qt::RecordLines());
    }

    {
        SCOPED_TRACE("one byte below the limit: one record, then the notice");
        int now = FileSize(qt::LogFilePath());
        qt::WriteLogConfig("1", std::to_string(now + 1));
        Logger logger(kModule, kPrefix);
        logger.LogError("%s", "fits");
        logger.LogError("%s", "over");
        logger.LogError("%s", "gone");
        expected.push_back("Error|fits");
        expected.push_back(Notice(now + 1));
        EXPECT_EQ(expected, qt::RecordLines());
    }
}

TEST_F(LoggerTest, TextsAreCutAt1023AndStoredVerbatim) {
    qt::WriteLogConfig(15);
    std::string digits;
    while (digits.size() < 3000) digits += "0123456789";
    {
        Logger logger(kModule, kPrefix);
        logger.LogError("%s", digits.substr(0, 1023).c_str());
        logger.LogError("%s", digits.substr(0, 1024).c_str());
        logger.LogError("%s", digits.c_str());
        logger.LogError("%s%s", digits.substr(0, 1020).c_str(), "%n%s%d");
        logger.LogError("%s", "100% sure: %s %n %d %% %");
        logger.LogError("%d%% done", 50);
        logger.LogError("%s", "");
        EXPECT_EQ(static_cast<long>(FileSize(qt::LogFilePath())), logger.CurrentSize());
    }
    const std::string cut = digits.substr(0, 1023);
    EXPECT_EQ((std::vector<std::string>{"Error|" + cut, "Error|" + cut, "Error|" + cut,
                                        "Error|" + digits.substr(0, 1020) + "%n%",
                                        "Error|100% sure: %s %n %d %% %", "Error|50% done",
                                        "Error|"}),
              qt::RecordLines());

    // A module name that would be a format: it reaches the file name, the key lookup
    // and the header unchanged.
    const char module[] = "Mod%s%n%d";
    const std::string path = qt::AppDataDir() + "\\Pct%x_Mod%s%n%d.log";
    qt::RemoveFile(path);
    ASSERT_TRUE(qt::WriteFileBytes(qt::LogConfigPath(),
                                   "[Signature]\r\nPROJECT=Kestrin\r\n"
                                   "[Modules]\r\nMod%s%n%d=15\r\n"
                                   "[LogFileSize]\r\nFILESIZE=524288\r\n"));
    {
        Logger logger(module, "Pct%x");
        EXPECT_EQ(15, logger.LevelMask());
        EXPECT_EQ(path, logger.LogPath());
        logger.LogMainTrace("%s", "%s%n%d");
    }
    std::vector<qt::Record> records = qt::ReadRecords(path);
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(module, records[0].module);
    EXPECT_EQ("%s%n%d", records[0].text);
    EXPECT_NE(std::string::npos,
              qt::ReadFileBytes(path).find("], [Mod%s%n%d], [Main Trace], %s%n%d\r\r\n"));
    EXPECT_TRUE(qt::RemoveFile(path));
}

const char kMissingAppData[] = "C:\\quorlen-no-such-folder\\Roaming";

// Removes the stand-in application data folder, should anything have made it.
void RemoveMissingAppData() {
    qt::RemoveFile(std::string(kMissingAppData) + "\\PatchUpdate_Olvane_Quorlenlog_Zindra.log");
    RemoveDirectoryA(kMissingAppData);
    RemoveDirectoryA("C:\\quorlen-no-such-folder");
}

TEST_F(LoggerTest, FallsBackToTempPathWithDoubledSeparator) {
    RemoveMissingAppData();
    struct Cleanup {
        ~Cleanup() { RemoveMissingAppData(); }
    } cleanup;
    qt::WriteLogConfig(15);
    const std::string tempDir = qt::TempDir();
    const std::string tempLog = tempDir + "\\PatchUpdate_Olvane_Quorlenlog_Zindra.log";
    qt::RemoveFile(tempLog);
    {
        // An application data folder that does not exist: the folder lookup, which
        // must not create it, fails for real.
        const char folders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\";
        // The platform may note the resolved folder here; it is put back as it was.
        ScopedRegText shell(HKEY_CURRENT_USER, (std::string(folders) + "Shell Folders").c_str(),
                            "AppData", REG_SZ, nullptr);
        ScopedRegText user(HKEY_CURRENT_USER, (std::string(folders) + "User Shell Folders").c_str(),
                           "AppData", REG_EXPAND_SZ, kMissingAppData);
        ASSERT_TRUE(user.IsSet());
        char probe[MAX_PATH] = {};
        ASSERT_FALSE(SHGetSpecialFolderPathA(nullptr, probe, CSIDL_APPDATA, FALSE));

        Logger logger(kModule, kPrefix);
        EXPECT_EQ(tempDir + "\\\\PatchUpdate_Olvane_Quorlenlog_Zindra.log", logger.LogPath());
        logger.LogError("%s", "in temp");
        EXPECT_EQ(GetFileAttributesA("C:\\quorlen-no-such-folder"), INVALID_FILE_ATTRIBUTES);
    }
    EXPECT_EQ(qt::AppDataDir() + "\\PatchUpdate_Olvane_Quorlenlog_Zindra.log", qt::LogFilePath());
    EXPECT_FALSE(qt::FileExists(qt::LogFilePath()));
    EXPECT_EQ((std::vector<std::string>{"Error|in temp"}), qt::RecordLines(tempLog));

    {
        SCOPED_TRACE("a second run finds the temp log and its size");
        int size = FileSize(tempLog);
        const char folders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
        ScopedRegText user(HKEY_CURRENT_USER, folders, "AppData", REG_EXPAND_SZ,
                           kMissingAppData);
        Logger logger(kModule, kPrefix);
        EXPECT_EQ(static_cast<long>(size), logger.CurrentSize());
    }
    EXPECT_TRUE(qt::RemoveFile(tempLog));

    {
        SCOPED_TRACE("no folder at all: the root of the current drive");
        const char folders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
        ScopedRegText user(HKEY_CURRENT_USER, folders, "AppData", REG_EXPAND_SZ,
                           kMissingAppData);
        // A temp folder too long for the path buffer makes the temp lookup fail too.
        const std::string longTemp = "C:\\" + std::string(300, 't');
        ScopedEnv tmp("TMP", longTemp);
        ScopedEnv temp("TEMP", longTemp);
        char cwd[MAX_PATH] = {};
        GetCurrentDirectoryA(MAX_PATH, cwd);
        ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
        const std::string rootLog = "C:\\PatchUpdate_Olvane_Quorlenlog_Zindra.log";
        qt::RemoveFile(rootLog);
        {
            Logger logger(kModule, kPrefix);
            EXPECT_STREQ("\\PatchUpdate_Olvane_Quorlenlog_Zindra.log", logger.LogPath());
            logger.LogError("%s", "in the root");
        }
        SetCurrentDirectoryA(cwd);
        EXPECT_EQ((std::vector<std::string>{"Error|in the root"}), qt::RecordLines(rootLog));
        EXPECT_TRUE(qt::RemoveFile(rootLog));
    }
}

TEST_F(LoggerTest, OversizedNamesLeaveNoFileAndAreCutSafely) {
    qt::WriteLogConfig(15);
    const std::string folder = qt::AppDataDir();
    struct Cleanup {
        std::string folder;
        explicit Cleanup(const std::string& f) : folder(f) { Run(); }
        ~Cleanup() { Run(); }
        void Run() const {
            RemoveMatching(folder, "ppp*");
            RemoveMatching(folder, "qqq*");
            RemoveMatching(folder, "PatchUpdate_NoKeyModule.log");
        }
    } cleanup(folder);
    // folder \ prefix _ module .log: the longest prefix that still fits 259 characters.
    const size_t fitting = 259 - (folder.size() + 1 + 1 + strlen(kModule) + 4);
    ASSERT_GT(fitting, 100u);

    {
        SCOPED_TRACE("the longest path that fits");
        const std::string prefix(fitting, 'p');
        const std::string path = folder + "\\" + prefix + "_" + kModule + ".log";
        ASSERT_EQ(259u, path.size());
        ASSERT_TRUE(qt::RemoveFile(path));
        {
            Logger logger(kModule, prefix.c_str());
            EXPECT_EQ(path, logger.LogPath());
            EXPECT_EQ(1, logger.Enabled());
            logger.LogError("%s", "fits");
        }
        EXPECT_EQ((std::vector<std::string>{"Error|fits"}), qt::RecordLines(path));
        EXPECT_TRUE(qt::RemoveFile(path));
    }
    for (size_t length : {fitting + 1, fitting + 40, size_t(259), size_t(300), size_t(5000)}) {
        SCOPED_TRACE("prefix of " + std::to_string(length) + " characters");
        const std::string prefix(length, 'q');
        Logger logger(kModule, prefix.c_str());
        EXPECT_EQ(0, logger.Enabled());
        EXPECT_FALSE(logger.HasStream());
        EXPECT_STREQ("", logger.LogPath());
        logger.LogError("%s", "nowhere");
        WIN32_FIND_DATAA found;
        ScopedFind search(FindFirstFileA((folder + "\\qqq*").c_str(), &found));
        EXPECT_FALSE(search.IsValid()) << found.cFileName;
    }
    {
        SCOPED_TRACE("BuildLogPath itself");
        // A module without a key: muted, so no stream holds the file.
        Logger logger("NoKeyModule", kPrefix);
        ASSERT_FALSE(logger.HasStream());
        ASSERT_TRUE(qt::WriteFileBytes(qt::LogFilePath(), std::string(77, 'x')));
        char path[Logger::kNameSize];
        memset(path, 'z', sizeof path);
        EXPECT_EQ(0, logger.BuildLogPath(path, std::string(fitting + 1, 'q').c_str(), kModule));
        EXPECT_EQ(std::string(sizeof path, '\0'), std::string(path, sizeof path));
        EXPECT_EQ(0, logger.CurrentSize());
        EXPECT_EQ(1, logger.BuildLogPath(path, kPrefix, kModule));
        EXPECT_EQ(qt::LogFilePath(), path);
        EXPECT_EQ(77, logger.CurrentSize());
    }
    {
        SCOPED_TRACE("a module name of 300 characters is cut to 259");
        const std::string module(300, 'm');
        const std::string kept(259, 'm');
        ASSERT_TRUE(qt::WriteFileBytes(qt::LogConfigPath(),
                                       "[Signature]\r\nPROJECT=Kestrin\r\n[Modules]\r\n" + kept +
                                           "=5\r\n[LogFileSize]\r\nFILESIZE=524288\r\n"));
        Logger logger(module.c_str(), std::string(300, 'q').c_str());
        EXPECT_EQ(kept, logger.ModuleName());
        EXPECT_EQ(5, logger.LevelMask());  // read under the cut name
        EXPECT_EQ(0, logger.Enabled());    // but no path fits
        logger.LogError("%s", "nowhere");
    }
}

TEST_F(LoggerTest, ConcurrentWritersKeepRecordsWholeAndCounted) {
    qt::WriteLogConfig("15", "100000000");
    constexpr int kThreads = 8;
    constexpr int kRecords = 500;
    Logger logger(kModule, kPrefix);

    struct Work {
        Logger* logger;
        int index;
        HANDLE start;
    };
    struct Body {
        static DWORD WINAPI Run(void* p) {
            Work* w = static_cast<Work*>(p);
            WaitForSingleObject(w->start, INFINITE);
            for (int i = 0; i < kRecords; ++i) {
                switch (i % 3) {
                case 0: w->logger->LogError("thread %d record %d", w->index, i); break;
                case 1: w->logger->LogMainTrace("thread %d record %d", w->index, i); break;
                default: w->logger->LogDetailedTrace("thread %d record %d", w->index, i); break;
                }
            }
            return 0;
        }
    };
    ScopedHandle start(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    Work work[kThreads];
    ScopedHandle threads[kThreads];
    DWORD ids[kThreads] = {};
    for (int t = 0; t < kThreads; ++t) {
        work[t] = {&logger, t, start.Get()};
        threads[t] = ScopedHandle(CreateThread(nullptr, 0, &Body::Run, &work[t], 0, &ids[t]));
        ASSERT_TRUE(threads[t].IsValid());
    }
    SetEvent(start.Get());
    for (ScopedHandle& thread : threads) WaitForSingleObject(thread.Get(), INFINITE);

    EXPECT_EQ(static_cast<long>(FileSize(qt::LogFilePath())), logger.CurrentSize());
    std::vector<qt::Record> records = qt::ReadRecords();  // fails on any mixed line
    ASSERT_EQ(static_cast<size_t>(kThreads * kRecords), records.size());
    std::map<int, int> next;  // thread index -> next record number
    for (const qt::Record& r : records) {
        int thread = -1, number = -1;
        ASSERT_EQ(2, sscanf(r.text.c_str(), "thread %d record %d", &thread, &number)) << r.text;
        ASSERT_TRUE(thread >= 0 && thread < kThreads) << r.text;
        EXPECT_EQ(next[thread], number) << r.text;
        next[thread] = number + 1;
        EXPECT_EQ(static_cast<int>(ids[thread]), r.tid) << r.text;
        const char* level = number % 3 == 0 ? "Error" : number % 3 == 1 ? "Main Trace" : "Detailed Trace";
        EXPECT_EQ(level, r.level) << r.text;
    }
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(kRecords, next[t]) << "thread " << t;
}

TEST_F(LoggerTest, FailedWriteStopsTheLogger) {
    qt::WriteLogConfig(15);
    ScopedFullDiskLog full;
    ASSERT_TRUE(full.IsLinked()) << UnixPath(qt::LogFilePath());
    // A write of its own fails as the logger's will.
    FILE* probe = fopen(qt::LogFilePath().c_str(), "a+");
    ASSERT_NE(nullptr, probe);
    EXPECT_LE(0, fputs("x\n", probe));
    EXPECT_NE(0, fflush(probe));
    fclose(probe);

    Logger logger(kModule, kPrefix);
    ASSERT_TRUE(logger.HasStream());
    ASSERT_EQ(1, logger.Enabled());
    logger.LogError("%s", "lost on a full disk");
    // The failed record still counts; the logger stops.
    const long counted = logger.CurrentSize();
    EXPECT_GT(counted, 0);
    EXPECT_EQ(0, logger.Enabled());
    logger.LogError("%s", "later");
    logger.LogMainTrace("%s", "later");
    EXPECT_EQ(counted, logger.CurrentSize());
}

TEST_F(LoggerTest, MacrosSkipTheCallWithoutALogger) {
    qt::WriteLogConfig(15);
    ASSERT_EQ(nullptr, g_logger);
    int evaluated = 0;
    LOG_ERROR("%d", ++evaluated);
    LOG_MAIN_TRACE("%d", ++evaluated);
    EXPECT_EQ(0, evaluated);
    EXPECT_FALSE(qt::FileExists(qt::LogFilePath()));

    {
        qt::ScopedProgramLogger program;
        ASSERT_NE(nullptr, g_logger);
        LOG_ERROR("%s %d", "through the macro", ++evaluated);
        LOG_MAIN_TRACE("%s %d", "through the macro", ++evaluated);
    }
    EXPECT_EQ(nullptr, g_logger);
    EXPECT_EQ(2, evaluated);
    LOG_ERROR("%s", "after");
    EXPECT_EQ((std::vector<std::string>{"Error|through the macro 1", "Main Trace|through the macro 2"}),
              qt::RecordLines());
}

}  // namespace
