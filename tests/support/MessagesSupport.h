// Helpers for the localized message tests: the languages of the string table, the
// table's entries read straight from the resource block, and the buttons of a box.
#ifndef QUORLEN_TESTS_SUPPORT_MESSAGESSUPPORT_H
#define QUORLEN_TESTS_SUPPORT_MESSAGESSUPPORT_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

namespace qt {

struct TableLanguage {
    WORD id;             // language of the table, and the system language LC_ALL gives
    const char* lcAll;   // the LC_ALL that gives this system language under Wine
    bool lineFeedInText1;
};
// The 21 languages that carry the string table, in language-id order.
const std::vector<TableLanguage>& TableLanguages();

// Entry id of the string table in exactly this language, read from the running
// module's block as UTF-16. False when the block is missing or its walk runs past its
// end; *text is then empty.
bool ReadTableEntry(WORD language, UINT id, std::wstring* text);

// The thread locale that the CTest entry names in QUORLEN_THREAD_LOCALE, for the scope:
// LoadStringA then picks that user's table while the system's language stays. Without
// the variable the thread keeps its locale. requested is 0 then.
class ScopedThreadLocale {
public:
    ScopedThreadLocale();
    ~ScopedThreadLocale();
    LCID requested = 0;

private:
    LCID previous_;
};

struct BoxButton {
    int id;
    std::wstring text;
};
// Waits for a visible top-level dialog (class #32770) with the caption and lists its
// visible buttons, leaving the box open. found is false after the timeout.
bool WaitForBoxButtons(const char* caption, std::vector<BoxButton>* buttons,
                       DWORD timeoutMs = 20000);

// What a user finds when show() opens the "Olvane" box on this thread: a second thread
// lists its buttons, reads it and presses OK; result is what show() returned.
struct BoxAnswered {
    int result = 0;
    BoxSeen seen;
    std::vector<BoxButton> buttons;
};
BoxAnswered ShowAndPressOk(const std::function<int()>& show);

}  // namespace qt

#endif
