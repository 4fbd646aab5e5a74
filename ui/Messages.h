// The localized messages: the language choice, the explicit-language string lookup and
// the message box with the caption "Olvane".
#ifndef QUORLEN_UI_MESSAGES_H
#define QUORLEN_UI_MESSAGES_H

#include <windows.h>

#include <string>

// German, Spanish or French systems (any variant) give 1031, 1034 or 1036; every other
// system gives 0: the platform's resource loader then chooses.
WORD ChooseLanguage();

// The text of id in the given language, else what LoadStringA finds, else empty.
// Never throws.
std::string MsgDisplayString(WORD language, UINT id);

// Shows string id in a modal box (caption "Olvane", OK only). 0 when the box could
// not be shown, else 1.
int DisplayMessage(UINT id);

#endif
