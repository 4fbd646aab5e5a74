#include "ui/Restart.h"

#include "base/Handles.h"
#include "base/Platform.h"
#include "log/Logger.h"

namespace {

const char kTag[] = "Quorlen::RestartMachine";

// Restart at once, closing applications without asking them.
constexpr UINT kRebootFlags = EWX_REBOOT | EWX_FORCE;
// Planned | major "application" | minor "maintenance": the reason recorded for the
// restart. Spelled out because the Windows 2000 headers lack the SHTDN_REASON names.
constexpr DWORD kShutdownReason = 0x80000000 | 0x00040000 | 0x00000001;

void RequestReboot() {
    if (!g_exitWindowsEx(kRebootFlags, kShutdownReason)) LOG_ERROR("ExitWindowsEx failed ");
}

// The attempt itself; the token, when one was opened, is closed when this returns.
void TryRestart() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (!g_getVersionEx(&version)) {
        LOG_ERROR("GetVersionEx failed in RestartMachine");
        return;
    }
    // The 95/98/Me family has no privileges to enable.
    if (version.dwPlatformId != VER_PLATFORM_WIN32_NT) {
        RequestReboot();
        return;
    }

    ScopedHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                          token.Receive())) {
        LOG_ERROR("OpenProcessToken failed");
        return;
    }

    TOKEN_PRIVILEGES privileges = {};
    if (!LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) {
        LOG_ERROR("LookupPrivilegeValue failed ");
        return;
    }
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!token.IsValid()) {
        LOG_ERROR("Token is NULL ");
        return;
    }

    // A token without the privilege still "succeeds" here (not all assigned); the
    // refusal then shows as an ExitWindowsEx failure.
    if (!AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr)) {
        LOG_ERROR("AdjustTokenPrivileges failed ");
        return;
    }
    RequestReboot();
}

}  // namespace

void RestartMachine() {
    LOG_MAIN_TRACE("%s %s", kTag, "- Entering");
    TryRestart();
    LOG_MAIN_TRACE("%s %s", kTag, "- Exiting");
}
