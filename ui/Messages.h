// The localized messages: the language choice, the explicit-language string lookup and
// the message box with the caption "Olvane".
#ifndef QUORLEN_UI_MESSAGES_H
#define QUORLEN_UI_MESSAGES_H

#include <windows.h>

#include <stddef.h>

// German, Spanish or French systems (any variant) give 1031, 1034 or 1036, whose texts
// come through MsgDisplayString; every other system gives 0 and takes LoadSystemText.
WORD ChooseLanguage();

// The string table for the system's default language: its own, else that of its
// language's main country (Chinese: of its code page's country), else 0 (none).
WORD SystemTableLanguage();

// The text of id from SystemTableLanguage's table, without records. Without such a
// text, what LoadStringA finds, or the English text where that one would not convert
// to the system's code page. 0 when nothing was found: text is then empty and
// *loadError (when given) holds LoadStringA's error. A text that does not fit capacity
// counts as none; LoadStringA's is cut.
int LoadSystemText(UINT id, char* text, size_t capacity, DWORD* loadError);

// Into text (capacity bytes, terminated): the text of id in the given language, else
// what LoadStringA finds (the English text where that one would not convert to the
// system's code page), else empty.
void MsgDisplayString(WORD language, UINT id, char* text, size_t capacity);

template <size_t N>
int LoadSystemText(UINT id, char (&text)[N], DWORD* loadError) {
    return LoadSystemText(id, text, N, loadError);
}
template <size_t N>
void MsgDisplayString(WORD language, UINT id, char (&text)[N]) {
    MsgDisplayString(language, id, text, N);
}

// 1 when someone can see a window of this thread: the process's window station is
// visible and the thread's desktop is the input desktop and a user's ("Default"). 0
// where nobody watches (a service's window station, a startup script's desktop even
// while it is the input desktop, a locked workstation), or when either cannot be told:
// a box there would wait for ever.
int SomeoneWatches();

// Shows string id in a modal box (caption "Olvane", OK only). 0 when the box could
// not be shown, or nobody would see it, else 1.
int DisplayMessage(UINT id);

#endif
