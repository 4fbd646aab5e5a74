#include "tests/support/RunSupport.h"

#include <map>

namespace qt {

std::string UpdaterPath() { return ModuleDir() + "\\..\\Quorlen.exe"; }

void SetUpdaterWindowsVersion(const char* version) {
    const char kKey[] = "Software\\Wine\\AppDefaults\\Quorlen.exe";
    if (version == nullptr || *version == '\0') {
        RegDeleteKeyA(HKEY_CURRENT_USER, kKey);
        return;
    }
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    RegSetValueExA(key, "Version", 0, REG_SZ, reinterpret_cast<const BYTE*>(version),
                   static_cast<DWORD>(strlen(version) + 1));
    RegCloseKey(key);
}

namespace {

// The inherited environment with some entries replaced, as CreateProcess takes it.
std::string EnvironmentBlock(const std::vector<std::string>& extra) {
    std::map<std::string, std::string> entries;  // upper-case name -> "Name=value"
    auto add = [&entries](const std::string& entry) {
        size_t eq = entry.find('=', 1);
        if (eq == std::string::npos) return;
        std::string name = entry.substr(0, eq);
        for (char& c : name) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        entries[name] = entry;
    };
    char* inherited = GetEnvironmentStringsA();
    for (const char* p = inherited; *p; p += strlen(p) + 1) add(p);
    FreeEnvironmentStringsA(inherited);
    for (const std::string& entry : extra) add(entry);
    std::string block;
    for (const auto& e : entries) block += e.second + '\0';
    block += '\0';
    return block;
}

}  // namespace

UpdaterRun RunUpdater(const std::vector<std::string>& extraEnvironment, DWORD timeoutMs) {
    UpdaterRun run;
    std::string command = "\"" + UpdaterPath() + "\"";
    std::string environment = EnvironmentBlock(extraEnvironment);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0,
                        extraEnvironment.empty() ? nullptr : &environment[0], nullptr, &si, &pi)) {
        ADD_FAILURE() << "cannot start " << command << ": " << Win32ErrorText(GetLastError());
        return run;
    }
    run.process.started = true;
    DWORD start = GetTickCount();
    for (;;) {
        HWND box = FindWindowA("#32770", "Olvane");
        if (box && IsWindowVisible(box)) {
            wchar_t text[4096] = {};
            GetDlgItemTextW(box, 0xFFFF, text, 4096);
            run.boxes.push_back(text);
            PostMessageA(box, WM_COMMAND, IDOK, 0);
            while (IsWindow(box) && GetTickCount() - start < timeoutMs) Sleep(10);
        }
        if (WaitForSingleObject(pi.hProcess, 20) == WAIT_OBJECT_0) {
            run.process.finished = true;
            GetExitCodeProcess(pi.hProcess, &run.process.exitCode);
            break;
        }
        if (GetTickCount() - start > timeoutMs) {
            ADD_FAILURE() << "the updater did not end within " << timeoutMs << " ms";
            TerminateProcess(pi.hProcess, 255);
            WaitForSingleObject(pi.hProcess, 5000);
            break;
        }
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return run;
}

}  // namespace qt
