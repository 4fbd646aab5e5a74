// Opens the restart prompt on its own, for people who want to see it and for tests.
// The updater never shows it; this entry sets up the same log and shows IDD_RESTART
// modally where someone can see it. Arguments are ignored; the exit code is 0 whatever
// the choice.
#include <windows.h>
#include <commctrl.h>

#include <new>

#include "log/Logger.h"
#include "resources/resource.h"
#include "ui/Messages.h"
#include "ui/Restart.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // No system box may hold a run where nobody watches (see the updater's WinMain).
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    // The dialog's version 6 controls, which XP's user32 does not load by itself.
    InitCommonControls();
    g_logger = new (std::nothrow) Logger("Olvane_Quorlenlog_Zindra", "PatchUpdate");
    // Where nobody watches, the prompt would wait for ever and nobody could choose.
    if (SomeoneWatches())
        DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_RESTART), nullptr, RestartDialog, 0);
    delete g_logger;
    g_logger = nullptr;
    return 0;
}
