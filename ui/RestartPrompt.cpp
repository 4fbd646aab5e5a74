#include "ui/Restart.h"

#include <string.h>

#include "base/Text.h"
#include "log/Logger.h"
#include "resources/resource.h"
#include "ui/Messages.h"

HWND g_restartDialog = nullptr;

namespace {

const char kDialogTag[] = "Quorlen::RestartDialog";
const char kSwitchTag[] = "Quorlen::LanguageSwitch";
const char kDisplayTag[] = "Quorlen::DisplayDialog";

// Top-left corner of the prompt on the screen, in pixels.
constexpr int kLeft = 300;
constexpr int kTop = 200;

// The four texts, in the order they are set. Control 0 stands for the dialog itself:
// its caption.
struct TextStep {
    UINT stringId;
    int control;
};
const TextStep kTextSteps[] = {
    {IDS_INSTALL_COMPLETED, 0},
    {IDS_RESTART_QUESTION, IDC_RESTART_TEXT},
    {IDS_RESTART_NOW, IDOK},
    {IDS_RESTART_LATER, IDCANCEL},
};

// Puts text where the step says. 0, with one Error record, when the control is
// missing or the text cannot be set.
int SetStepText(const TextStep& step, const char* text) {
    HWND target = g_restartDialog;
    if (step.control != 0) {
        target = GetDlgItem(g_restartDialog, step.control);
        if (target == nullptr) {
            int error = static_cast<int>(GetLastError());
            LOG_ERROR("GetDlgItem failed for ID %d. Error = %d", step.control, error);
            return 0;
        }
    }
    if (!SetWindowTextA(target, text)) {
        int error = static_cast<int>(GetLastError());
        LOG_ERROR("SetWindowText failed for ID %d.Error = %d", static_cast<int>(step.stringId),
                  error);
        return 0;
    }
    return 1;
}

}  // namespace

INT_PTR CALLBACK RestartDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    g_restartDialog = dialog;
    LOG_MAIN_TRACE("%s %s", kDialogTag, "- Entering");

    INT_PTR handled = FALSE;
    switch (message) {
    case WM_INITDIALOG:
        LanguageSwitch();
        SetWindowPos(dialog, HWND_TOP, kLeft, kTop, 0, 0, SWP_NOSIZE);
        // TRUE: the dialog manager focuses the first tab stop, "Restart Now".
        handled = TRUE;
        break;
    case WM_COMMAND:
        // Either button, Esc and the close box all end the prompt with 0: the choice is
        // acted on here, not reported to the opener. EndDialog only marks the end, so
        // the prompt stays on screen while the reboot is requested.
        EndDialog(dialog, 0);
        if (LOWORD(wParam) == IDOK) RestartMachine();
        handled = TRUE;
        break;
    default:
        break;
    }

    LOG_MAIN_TRACE("%s %s", kDialogTag, "- Exiting");
    return handled;
}

int LanguageSwitch() {
    char text[kPathSize];
    memset(text, 0, sizeof text);
    WORD language = ChooseLanguage();
    LOG_MAIN_TRACE("%s %s", kSwitchTag, "- Entering");

    if (language != 0) {
        DisplayDialog(language);
    } else {
        for (const TextStep& step : kTextSteps) {
            DWORD loadError = 0;
            if (!LoadSystemText(step.stringId, text, &loadError)) {
                LOG_ERROR("LoadString failed for ID %d.Error = %d", static_cast<int>(step.stringId),
                          static_cast<int>(loadError));
                break;
            }
            if (!SetStepText(step, text)) break;
        }
    }

    LOG_MAIN_TRACE("%s %s", kSwitchTag, "- Exiting");
    return 1;
}

void DisplayDialog(WORD language) {
    LOG_MAIN_TRACE("%s %s", kDisplayTag, "- Entering");
    // The lookup always yields a text, possibly empty; an empty one is set like any other.
    char text[kPathSize];
    for (const TextStep& step : kTextSteps) {
        MsgDisplayString(language, step.stringId, text);
        if (!SetStepText(step, text)) break;
    }
    LOG_MAIN_TRACE("%s %s", kDisplayTag, "- Exiting");
}
