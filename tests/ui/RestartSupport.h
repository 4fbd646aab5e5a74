// Helpers for the restart prompt and machine restart tests: a counting stand-in for the
// reboot call, the shutdown privilege of this process's token, the string table as the
// resource holds it, and the log records of one tag.
#ifndef QUORLEN_TESTS_UI_RESTARTSUPPORT_H
#define QUORLEN_TESTS_UI_RESTARTSUPPORT_H

#include <windows.h>

#include <string>
#include <vector>

namespace rt {

// What the stand-in for ExitWindowsEx saw; reset before each case.
struct ExitCalls {
    int count = 0;
    UINT flags = 0;
    DWORD reason = 0;
    bool privilegeEnabled = false;  // SeShutdownPrivilege enabled at the time of the call
};
extern ExitCalls g_exitCalls;
extern BOOL g_exitResult;  // what the stand-in returns

BOOL WINAPI FakeExitWindowsEx(UINT flags, DWORD reason);

// The process token's SeShutdownPrivilege: whether it is enabled, and switching it.
bool ShutdownPrivilegeEnabled();
bool SetShutdownPrivilege(bool enabled);

// Entry id of the string table in the running module, in exactly that language, read
// from the block as the resource holds it. found is false when there is no such block.
std::wstring StringEntry(LANGID language, UINT id, bool* found = nullptr);

// "Level|text" of the records whose text begins with tag + " ".
std::vector<std::string> TaggedLines(const std::string& tag);
int CountLines(const std::vector<std::string>& lines, const std::string& line);

}  // namespace rt

#endif
