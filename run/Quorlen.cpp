// The updater's entry. The update run itself arrives with the deployment and message
// rooms; until then the entry sets up the log and leaves.
#include <windows.h>

#include "log/Logger.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    g_logger = new Logger("Olvane_Quorlenlog_Zindra", "PatchUpdate");
    delete g_logger;
    g_logger = nullptr;
    return 0;
}
