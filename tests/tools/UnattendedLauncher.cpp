// Starts a program where nobody watches, as fleet tools do, and waits for it to end.
// Usage: UnattendedLauncher.exe service|winlogon|boot|desktop TIMEOUT_MS PROGRAM [ARGS...]
//   service:  a window station of its own that is not visible, as a service or a
//             remote-execution agent running as LocalSystem has ("Service-0x0-3e7$\Default");
//   winlogon: a second desktop of the visible window station, as a startup script has
//             ("WinSta0\Winlogon"); the input desktop stays "Default";
//   boot:     Wine's virtual desktop named "Winlogon", which is also the input desktop
//             there, as at boot while startup scripts run;
//   desktop:  the launcher's own desktop, where somebody could press a box but nobody does.
// Prints "exit N" and returns N when the program ends in time; prints "timeout", ends it
// and everything it started, and returns 124 when it does not.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

namespace {

// Makes the desktop named by mode and returns its "station\desktop" name, or "".
std::string MakeDesktop(const char* mode) {
    if (strcmp(mode, "boot") == 0 || strcmp(mode, "desktop") == 0) return "WinSta0\\Default";
    if (strcmp(mode, "winlogon") == 0) {
        HDESK desktop = CreateDesktopA("Winlogon", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
        if (desktop == nullptr) return std::string();
        // Left open: the desktop lives as long as a handle to it does.
        return "WinSta0\\Winlogon";
    }
    if (strcmp(mode, "service") != 0) return std::string();
    HWINSTA own = GetProcessWindowStation();
    HWINSTA hidden = CreateWindowStationA("Service-0x0-3e7$", 0, WINSTA_ALL_ACCESS, nullptr);
    if (hidden == nullptr || !SetProcessWindowStation(hidden)) return std::string();
    HDESK desktop = CreateDesktopA("Default", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    SetProcessWindowStation(own);
    if (desktop == nullptr) return std::string();
    return "Service-0x0-3e7$\\Default";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        fprintf(stderr, "usage: UnattendedLauncher.exe service|winlogon|boot|desktop TIMEOUT_MS "
                        "PROGRAM [ARGS...]\n");
        return 2;
    }
    std::string desktop = MakeDesktop(argv[1]);
    if (desktop.empty()) {
        fprintf(stderr, "UnattendedLauncher: cannot make the %s desktop: error %lu\n", argv[1],
                GetLastError());
        return 2;
    }
    // At boot the program runs inside the virtual desktop, which ends with it.
    std::string command = strcmp(argv[1], "boot") == 0 ? "explorer.exe /desktop=Winlogon,640x480 " : "";
    for (int i = 3; i < argc; ++i) {
        if (i > 3) command += ' ';
        command += std::string("\"") + argv[i] + "\"";
    }
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.lpDesktop = &desktop[0];
    PROCESS_INFORMATION pi = {};
    // In a job, so that a time-out ends the program too, not only the desktop that runs it.
    HANDLE job = CreateJobObjectA(nullptr, nullptr);
    if (job == nullptr ||
        !CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr,
                        nullptr, &si, &pi)) {
        fprintf(stderr, "UnattendedLauncher: cannot start %s: error %lu\n", command.c_str(),
                GetLastError());
        return 2;
    }
    AssignProcessToJobObject(job, pi.hProcess);
    ResumeThread(pi.hThread);
    CloseHandle(pi.hThread);
    DWORD exitCode = 124;
    if (WaitForSingleObject(pi.hProcess, strtoul(argv[2], nullptr, 10)) == WAIT_OBJECT_0) {
        GetExitCodeProcess(pi.hProcess, &exitCode);
        printf("exit %lu\n", exitCode);
    } else {
        printf("timeout\n");
        TerminateJobObject(job, 124);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    fflush(stdout);
    CloseHandle(pi.hProcess);
    CloseHandle(job);
    return static_cast<int>(exitCode);
}
