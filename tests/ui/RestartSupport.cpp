#include "tests/ui/RestartSupport.h"

#include <algorithm>

#include "tests/support/TestSupport.h"

namespace rt {

ExitCalls g_exitCalls;
BOOL g_exitResult = TRUE;

BOOL WINAPI FakeExitWindowsEx(UINT flags, DWORD reason) {
    ++g_exitCalls.count;
    g_exitCalls.flags = flags;
    g_exitCalls.reason = reason;
    g_exitCalls.privilegeEnabled = ShutdownPrivilegeEnabled();
    return g_exitResult;
}

static bool ShutdownLuid(LUID* luid) {
    return LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", luid) != FALSE;
}

bool ShutdownPrivilegeEnabled() {
    LUID luid;
    HANDLE token = nullptr;
    if (!ShutdownLuid(&luid) || !OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token))
        return false;
    bool enabled = false;
    DWORD size = 0;
    GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
    std::vector<BYTE> buffer(size ? size : 1);
    if (GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size)) {
        const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
        for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
            const LUID_AND_ATTRIBUTES& p = privileges->Privileges[i];
            if (p.Luid.LowPart == luid.LowPart && p.Luid.HighPart == luid.HighPart)
                enabled = (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
        }
    }
    CloseHandle(token);
    return enabled;
}

bool SetShutdownPrivilege(bool enabled) {
    TOKEN_PRIVILEGES privileges = {};
    HANDLE token = nullptr;
    if (!ShutdownLuid(&privileges.Privileges[0].Luid) ||
        !OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token))
        return false;
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = enabled ? SE_PRIVILEGE_ENABLED : 0;
    bool ok = AdjustTokenPrivileges(token, FALSE, &privileges, 0, nullptr, nullptr) &&
              GetLastError() == ERROR_SUCCESS;
    CloseHandle(token);
    return ok;
}

std::wstring StringEntry(LANGID language, UINT id, bool* found) {
    if (found) *found = false;
    HRSRC info = FindResourceExW(nullptr, reinterpret_cast<LPCWSTR>(RT_STRING),
                                 MAKEINTRESOURCEW((id >> 4) + 1), language);
    if (!info) return std::wstring();
    HGLOBAL data = LoadResource(nullptr, info);
    const WCHAR* p = data ? static_cast<const WCHAR*>(LockResource(data)) : nullptr;
    if (!p) return std::wstring();
    const WCHAR* end = p + SizeofResource(nullptr, info) / sizeof(WCHAR);
    for (UINT i = 0; i < (id & 15) && p < end; ++i) p += 1 + *p;
    if (p >= end || p + 1 + *p > end) return std::wstring();
    if (found) *found = true;
    return std::wstring(p + 1, p + 1 + *p);
}

std::vector<std::string> TaggedLines(const std::string& tag) {
    std::vector<std::string> lines;
    for (const qt::Record& r : qt::ReadRecords())
        if (r.text.compare(0, tag.size() + 1, tag + " ") == 0) lines.push_back(r.level + "|" + r.text);
    return lines;
}

int CountLines(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

}  // namespace rt
