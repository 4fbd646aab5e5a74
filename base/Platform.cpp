#include "base/Platform.h"

GetVersionExFn g_getVersionEx = GetVersionExA;
MessageBoxFn g_messageBox = MessageBoxA;
ExitWindowsExFn g_exitWindowsEx = ExitWindowsEx;
ReportEventFn g_reportEvent = ReportEventA;
MoveFileExFn g_moveFileEx = MoveFileExA;
