#include "ui/Messages.h"

#include <windows.h>

#include <string.h>

#include "base/Handles.h"
#include "base/Platform.h"
#include "base/Text.h"
#include "log/Logger.h"

namespace {

const char kEntering[] = "- Entering";
const char kExiting[] = "- Exiting";
const char kCaption[] = "Olvane";

// An entry's UTF-16 units where they lie in the block, none for an empty entry.
struct BlockText {
    const wchar_t* units = nullptr;
    size_t count = 0;
};

// Entry (id & 15) of a string block: 16 entries, each a count of UTF-16 units followed
// by that many units. A count that runs past the end of the block (a damaged block)
// ends the walk with an empty entry, so nothing beyond the block is ever read.
BlockText BlockEntry(const WORD* block, size_t units, UINT id) {
    size_t pos = 0;
    for (UINT skip = id & 15; skip > 0; --skip) {
        if (pos >= units || block[pos] > units - pos - 1) return BlockText();
        pos += 1 + block[pos];
    }
    if (pos >= units || block[pos] > units - pos - 1) return BlockText();
    BlockText entry;
    entry.units = reinterpret_cast<const wchar_t*>(block + pos + 1);
    entry.count = block[pos];
    return entry;
}

// The entry in the system's code page, empty when it converts to nothing or does not fit.
void ToAnsi(const BlockText& wide, char* text, size_t capacity) {
    text[0] = '\0';
    if (wide.count == 0 || capacity < 2) return;
    int size = WideCharToMultiByte(CP_ACP, 0, wide.units, static_cast<int>(wide.count), text,
                                   static_cast<int>(capacity - 1), nullptr, nullptr);
    text[size > 0 ? size : 0] = '\0';
}

// Whether the entry reaches the system's code page unchanged: no default character and
// no best-fit look-alike. A code page that cannot answer (UTF-8) loses nothing.
bool ConvertsWithoutLoss(const BlockText& wide) {
    if (wide.count == 0) return true;
    BOOL usedDefault = FALSE;
    int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.units,
                                   static_cast<int>(wide.count), nullptr, 0, nullptr, &usedDefault);
    return size == 0 || !usedDefault;
}

enum class Found { Text, NoBlock, NoText };

// Entry id of the string block in exactly this language (language 0: the block that the
// resource loader picks, as LoadStringA does); *entry stays empty when there is none.
Found FindEntry(WORD language, UINT id, BlockText* entry) {
    HRSRC found = FindResourceExA(nullptr, MAKEINTRESOURCEA(6),
                                  MAKEINTRESOURCEA(((id >> 4) + 1) & 0xFFFF), language);
    if (found == nullptr) return Found::NoBlock;
    HGLOBAL loaded = LoadResource(nullptr, found);
    if (loaded == nullptr) return Found::NoText;
    const void* block = LockResource(loaded);
    if (block != nullptr) {
        size_t units = SizeofResource(nullptr, found) / sizeof(WORD);
        *entry = BlockEntry(static_cast<const WORD*>(block), units, id);
    }
    return entry->count == 0 ? Found::NoText : Found::Text;
}

// The explicit lookup without records: the text of id in exactly this language.
Found LookupText(WORD language, UINT id, char* text, size_t capacity) {
    BlockText entry;
    Found found = FindEntry(language, id, &entry);
    ToAnsi(entry, text, capacity);
    return found == Found::Text && text[0] == '\0' ? Found::NoText : found;
}

// The text of id as the platform's resource loader chooses it, empty when none (then
// *loadError holds LoadStringA's error). The loader chooses by the thread's locale, the
// conversion goes to the system's code page: a text that would not survive it gives
// way to the English one, which every code page can show.
void LoadFallback(UINT id, char* text, size_t capacity, DWORD* loadError) {
    char buffer[kPathSize];
    memset(buffer, 0, sizeof buffer);
    text[0] = '\0';
    HMODULE module = GetModuleHandleA(nullptr);
    if (module == nullptr) return;
    if (LoadStringA(module, id, buffer, sizeof buffer) == 0) {
        if (loadError != nullptr) *loadError = GetLastError();
        return;
    }
    buffer[sizeof buffer - 1] = '\0';
    BlockText chosen;
    if (FindEntry(0, id, &chosen) == Found::Text && !ConvertsWithoutLoss(chosen) &&
        LookupText(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), id, text, capacity) ==
            Found::Text)
        return;
    CopyText(text, capacity, buffer);
}

// The name of a window station or desktop; false when it cannot be read or is longer
// than any name the system makes.
bool ObjectName(HANDLE object, char (&name)[256]) {
    DWORD needed = 0;
    if (!GetUserObjectInformationA(object, UOI_NAME, name, sizeof name, &needed)) return false;
    name[sizeof name - 1] = '\0';
    return true;
}

bool HasTable(WORD language) {
    return FindResourceExA(nullptr, MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(1), language) != nullptr;
}

}  // namespace

int SomeoneWatches() {
    USEROBJECTFLAGS flags = {};
    HWINSTA station = GetProcessWindowStation();
    if (station == nullptr ||
        !GetUserObjectInformationA(station, UOI_FLAGS, &flags, sizeof flags, nullptr) ||
        (flags.dwFlags & WSF_VISIBLE) == 0)
        return 0;
    // The input desktop cannot be opened while the workstation is locked: nobody there.
    ScopedDesktop input(OpenInputDesktop(0, FALSE, DESKTOP_READOBJECTS));
    HDESK own = GetThreadDesktop(GetCurrentThreadId());
    char inputName[256];
    char ownName[256];
    if (!input.IsValid() || own == nullptr || !ObjectName(input.Get(), inputName) ||
        !ObjectName(own, ownName))
        return 0;
    // Users work on "Default" (the console, a terminal session, a switched user, RunAs);
    // "Winlogon" is the input desktop while startup and shutdown scripts run, and a box
    // there would hold the boot.
    return lstrcmpiA(inputName, ownName) == 0 && lstrcmpiA(ownName, "Default") == 0 ? 1 : 0;
}

WORD SystemTableLanguage() {
    const WORD system = GetSystemDefaultLangID();
    if (HasTable(system)) return system;
    const WORD primary = PRIMARYLANGID(system);
    WORD table = MAKELANGID(primary, SUBLANG_DEFAULT);
    // Chinese goes by code page: Hong Kong and Macao write Big5 (950) as Taiwan does,
    // Singapore GBK (936) as the PRC does.
    if (primary == LANG_CHINESE) {
        const WORD sub = SUBLANGID(system);
        table = sub == SUBLANG_CHINESE_SIMPLIFIED || sub == SUBLANG_CHINESE_SINGAPORE
                    ? MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED)
                    : MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_TRADITIONAL);
    }
    return HasTable(table) ? table : 0;
}

int LoadSystemText(UINT id, char* text, size_t capacity, DWORD* loadError) {
    if (capacity == 0) return 0;
    const WORD table = SystemTableLanguage();
    if (table == 0 || LookupText(table, id, text, capacity) != Found::Text)
        LoadFallback(id, text, capacity, loadError);
    return text[0] == '\0' ? 0 : 1;
}

WORD ChooseLanguage() {
    switch (GetSystemDefaultLangID() & 0x3FF) {
        case LANG_GERMAN: return 1031;
        case LANG_SPANISH: return 1034;
        case LANG_FRENCH: return 1036;
        default: return 0;
    }
}

void MsgDisplayString(WORD language, UINT id, char* text, size_t capacity) {
    const char tag[] = "Quorlen::MsgDisplayString";
    LOG_MAIN_TRACE("%s %s", tag, kEntering);

    if (capacity != 0) {
        // A language without this text takes the fallback, after the record of a
        // missing block.
        const Found found = LookupText(language, id, text, capacity);
        if (found == Found::NoBlock) LOG_ERROR("FindResourceEx failed");
        if (found != Found::Text) LoadFallback(id, text, capacity, nullptr);
    }

    LOG_MAIN_TRACE("%s %s", tag, kExiting);
}

int DisplayMessage(UINT id) {
    char text[kPathSize];
    text[0] = '\0';

    WORD language = ChooseLanguage();
    const char tag[] = "Quorlen::DisplayMessage";
    LOG_MAIN_TRACE("%s %s", tag, kEntering);

    if (language != 0) {
        MsgDisplayString(language, id, text);
    } else {
        LoadSystemText(id, text, nullptr);
    }

    // Where nobody watches (a service, a startup script), a box would hold the run for
    // ever: count it as a box that could not be shown.
    int shown = SomeoneWatches() ? g_messageBox(nullptr, text, kCaption, MB_OK) : 0;

    LOG_MAIN_TRACE("%s %s", tag, kExiting);
    return shown == 0 ? 0 : 1;
}
