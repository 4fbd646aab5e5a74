// The restart prompt and the machine restart. Nothing in the update run opens the
// prompt; an opener shows IDD_RESTART modally with RestartDialog as its procedure.
#ifndef QUORLEN_UI_RESTART_H
#define QUORLEN_UI_RESTART_H

#include <windows.h>

// The dialog that RestartDialog last saw; the text steps reach the controls through it.
extern HWND g_restartDialog;

INT_PTR CALLBACK RestartDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Sets the caption, question and button texts in the system's language; always 1.
int LanguageSwitch();

// Sets the four texts in the given explicit language (1031, 1034 or 1036).
void DisplayDialog(WORD language);

// Enables the shutdown privilege and forces a reboot (planned maintenance). Failures
// go to the log only.
void RestartMachine();

#endif
