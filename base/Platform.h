// The platform calls that tests may replace (see base/Seam.h): the ones that cannot be
// made to fail for real under test, or fail as Windows does, and the reboot, which would
// end the test machine.
// The program itself always calls through these pointers to the real functions.
#ifndef QUORLEN_BASE_PLATFORM_H
#define QUORLEN_BASE_PLATFORM_H

#include <windows.h>

using GetVersionExFn = BOOL(WINAPI*)(LPOSVERSIONINFOA);
using MessageBoxFn = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
using ExitWindowsExFn = BOOL(WINAPI*)(UINT, DWORD);
using MoveFileExFn = BOOL(WINAPI*)(LPCSTR, LPCSTR, DWORD);
using ReportEventFn = BOOL(WINAPI*)(HANDLE, WORD, WORD, DWORD, PSID, WORD, DWORD, LPCSTR*, LPVOID);

extern GetVersionExFn g_getVersionEx;
extern MessageBoxFn g_messageBox;
extern ExitWindowsExFn g_exitWindowsEx;
extern ReportEventFn g_reportEvent;  // Wine's event log takes every event
// The replacing rename: SMB1 and FAT carry it out as a delete, then a rename, and a
// failed rename leaves the delete done; Wine's is one rename(2).
extern MoveFileExFn g_moveFileEx;

#endif
