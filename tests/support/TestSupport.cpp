#include "tests/support/TestSupport.h"

#include <shlobj.h>
#include <wincrypt.h>

#include <regex>

#include "log/LogConfig.h"
#include "log/Logger.h"

namespace qt {

std::string Win32ErrorText(DWORD code) {
    char text[512] = {};
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                   text, sizeof text - 1, nullptr);
    std::string s = text;
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return std::to_string(code) + " (" + s + ")";
}

static std::string StripSeparator(std::string path) {
    if (!path.empty() && path.back() == '\\') path.pop_back();
    return path;
}

std::string WindowsDir() {
    char dir[MAX_PATH] = {};
    GetWindowsDirectoryA(dir, MAX_PATH);
    return StripSeparator(dir);
}

std::string AppDataDir() {
    char dir[MAX_PATH] = {};
    SHGetSpecialFolderPathA(nullptr, dir, CSIDL_APPDATA, FALSE);
    return StripSeparator(dir);
}

std::string TempDir() {
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    return StripSeparator(dir);
}

std::string ModuleDir() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s = path;
    return s.substr(0, s.find_last_of('\\'));
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool ReadFileBytes(const std::string& path, std::string* bytes) {
    bytes->clear();
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    char chunk[65536];
    DWORD got = 0;
    bool ok = true;
    while ((ok = ReadFile(file, chunk, sizeof chunk, &got, nullptr) != FALSE) && got > 0)
        bytes->append(chunk, got);
    CloseHandle(file);
    return ok;
}

std::string ReadFileBytes(const std::string& path) {
    std::string bytes;
    ReadFileBytes(path, &bytes);
    return bytes;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
              written == bytes.size();
    CloseHandle(file);
    return ok;
}

bool RemoveFile(const std::string& path) {
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return RemoveDirectoryA(path.c_str()) != FALSE;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path.c_str()) != FALSE;
}

BY_HANDLE_FILE_INFORMATION FileInfo(const std::string& path) {
    BY_HANDLE_FILE_INFORMATION info = {};
    HANDLE file = CreateFileA(path.c_str(), FILE_READ_ATTRIBUTES,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return info;
    if (!GetFileInformationByHandle(file, &info)) info = BY_HANDLE_FILE_INFORMATION{};
    CloseHandle(file);
    return info;
}

bool SetLastWriteUtc(const std::string& path, int year, int month, int day, int hour, int minute,
                     int second) {
    SYSTEMTIME st = {};
    st.wYear = static_cast<WORD>(year);
    st.wMonth = static_cast<WORD>(month);
    st.wDay = static_cast<WORD>(day);
    st.wHour = static_cast<WORD>(hour);
    st.wMinute = static_cast<WORD>(minute);
    st.wSecond = static_cast<WORD>(second);
    FILETIME ft;
    if (!SystemTimeToFileTime(&st, &ft)) return false;
    DWORD attributes = GetFileAttributesA(path.c_str());
    bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
    if (readOnly) SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    bool ok = file != INVALID_HANDLE_VALUE && SetFileTime(file, nullptr, nullptr, &ft);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (readOnly) SetFileAttributesA(path.c_str(), attributes);
    return ok;
}

std::string Md5Hex(const std::string& bytes) {
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    std::string hex;
    if (CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT) &&
        CryptCreateHash(provider, CALG_MD5, 0, 0, &hash) &&
        CryptHashData(hash, reinterpret_cast<const BYTE*>(bytes.data()),
                      static_cast<DWORD>(bytes.size()), 0)) {
        BYTE digest[16];
        DWORD size = sizeof digest;
        if (CryptGetHashParam(hash, HP_HASHVAL, digest, &size, 0)) {
            static const char digits[] = "0123456789abcdef";
            for (DWORD i = 0; i < size; ++i) {
                hex += digits[digest[i] >> 4];
                hex += digits[digest[i] & 15];
            }
        }
    }
    if (hash) CryptDestroyHash(hash);
    if (provider) CryptReleaseContext(provider, 0);
    return hex;
}

std::string LogConfigPath() { return WindowsDir() + "\\" + kLogConfigFile; }

std::string LogFilePath() { return AppDataDir() + "\\PatchUpdate_Olvane_Quorlenlog_Zindra.log"; }

void WriteLogConfig(const std::string& mask, const std::string& fileSize) {
    std::string ini =
        "[Signature]\r\nPROJECT=Kestrin\r\nMANUFACTURER=Olvane\r\n"
        "[Modules]\r\nOlvane_Quorlenlog_Zindra=" + mask + "\r\nDEFAULT=1\r\n"
        "[LogLevels]\r\nLOG_DISABLED=0\r\nLOG_ERROR=1\r\nLOG_WARNING=2\r\nLOG_MAINTRACE=4\r\n"
        "LOG_DETAILEDTRACE=8\r\n"
        "[LogFileSize]\r\nFILESIZE=" + fileSize + "\r\n";
    RemoveFile(LogConfigPath());
    ASSERT_TRUE(WriteFileBytes(LogConfigPath(), ini)) << Win32ErrorText(GetLastError());
}

void WriteLogConfig(int mask) { WriteLogConfig(std::to_string(mask)); }

void ResetLogFiles() {
    EXPECT_TRUE(RemoveFile(LogConfigPath()));
    EXPECT_TRUE(RemoveFile(LogFilePath()));
}

std::vector<Record> ReadRecords(const std::string& path) {
    std::vector<Record> records;
    std::string bytes = ReadFileBytes(path);
    static const std::regex line(
        R"(^(\d+(?:\.\d+){7}), \[PID: (\d+) - TID: (\d+)\], \[User: (.*?)\], \[(.*?)\], )"
        R"(\[(Error|Warning|Main Trace|Detailed Trace)\], ([\s\S]*)$)");
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find("\r\r\n", start);
        if (end == std::string::npos) {
            ADD_FAILURE() << "log ends without CR CR LF: " << bytes.substr(start);
            break;
        }
        std::string text = bytes.substr(start, end - start);
        std::smatch m;
        if (!std::regex_match(text, m, line)) {
            ADD_FAILURE() << "not a record: " << text;
        } else {
            Record r;
            r.timestamp = m[1];
            r.pid = std::stoi(m[2]);
            r.tid = std::stoi(m[3]);
            r.user = m[4];
            r.module = m[5];
            r.level = m[6];
            r.text = m[7];
            records.push_back(r);
        }
        start = end + 3;
    }
    return records;
}

std::vector<std::string> RecordLines(const std::string& path) {
    std::vector<std::string> lines;
    for (const Record& r : ReadRecords(path)) lines.push_back(r.level + "|" + r.text);
    return lines;
}

ScopedProgramLogger::ScopedProgramLogger() {
    g_logger = new Logger("Olvane_Quorlenlog_Zindra", "PatchUpdate");
}

ScopedProgramLogger::~ScopedProgramLogger() {
    delete g_logger;
    g_logger = nullptr;
}

bool SetInstallValue(DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kInstallKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    LONG rc = RegSetValueExA(key, "Installdir", 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool SetInstallDir(const std::string& text) {
    return SetInstallValue(REG_SZ, text.c_str(), static_cast<DWORD>(text.size() + 1));
}

void DeleteInstallKey() { RegDeleteKeyA(HKEY_LOCAL_MACHINE, kInstallKey); }


std::vector<std::string> PendingRenames() {
    std::vector<std::string> list;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return list;
    DWORD size = 0, type = 0;
    if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type, nullptr, &size) ==
            ERROR_SUCCESS && size > 0) {
        std::string data(size, '\0');
        if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type,
                             reinterpret_cast<BYTE*>(&data[0]), &size) == ERROR_SUCCESS) {
            data.resize(size);
            size_t start = 0;
            while (start < data.size()) {
                size_t end = data.find('\0', start);
                if (end == std::string::npos) end = data.size();
                if (end == start) {  // the empty string that ends the list
                    // A pair may have an empty destination (a delete); keep it unless last.
                    if (end + 1 >= data.size()) break;
                }
                list.push_back(data.substr(start, end - start));
                start = end + 1;
            }
        }
    }
    RegCloseKey(key);
    return list;
}

void ClearPendingRenames() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSessionManager, 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        RegDeleteValueA(key, "PendingFileRenameOperations");
        RegCloseKey(key);
    }
}

ProcessResult RunProcess(const std::string& commandLine, DWORD timeoutMs) {
    ProcessResult result;
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string line = commandLine;
    if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
        ADD_FAILURE() << "cannot start " << commandLine << ": " << Win32ErrorText(GetLastError());
        return result;
    }
    result.started = true;
    if (WaitForSingleObject(pi.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        result.finished = true;
        GetExitCodeProcess(pi.hProcess, &result.exitCode);
    } else {
        TerminateProcess(pi.hProcess, 255);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return result;
}

std::string ToUtf8(const std::wstring& text) {
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
}

std::wstring FromUtf8(const std::string& text) {
    if (text.empty()) return std::wstring();
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(n, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n);
    return out;
}

static std::wstring WindowText(HWND window) {
    wchar_t text[4096] = {};
    GetWindowTextW(window, text, 4096);
    return text;
}

BoxSeen WaitForBoxAndPressOk(const char* caption, DWORD timeoutMs) {
    BoxSeen seen;
    DWORD start = GetTickCount();
    HWND box = nullptr;
    while (GetTickCount() - start < timeoutMs) {
        box = FindWindowA("#32770", caption);
        if (box && IsWindowVisible(box)) break;
        box = nullptr;
        Sleep(30);
    }
    if (!box) return seen;
    seen.found = true;
    seen.caption = WindowText(box);
    wchar_t text[4096] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 4096);
    seen.text = text;
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    while (IsWindow(box) && GetTickCount() - start < timeoutMs + 5000) Sleep(20);
    return seen;
}

bool NoBoxWithCaption(const char* caption) { return FindWindowA("#32770", caption) == nullptr; }

}  // namespace qt
