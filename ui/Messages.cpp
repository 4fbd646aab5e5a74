#include "ui/Messages.h"

#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include "base/Platform.h"
#include "base/Text.h"
#include "log/Logger.h"

namespace {

const char kEntering[] = "- Entering";
const char kExiting[] = "- Exiting";
const char kCaption[] = "Olvane";

// Leaves the explicit lookup for the fallback; never escapes MsgDisplayString.
struct UseFallback {};

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

std::string ToAnsi(const BlockText& wide) {
    if (wide.count == 0) return std::string();
    // A fresh buffer of count + 1 units, ended by a 0 unit, as the conversion expects.
    std::vector<wchar_t> text(wide.units, wide.units + wide.count);
    text.push_back(L'\0');
    int size = WideCharToMultiByte(CP_ACP, 0, text.data(), -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return std::string();
    std::vector<char> narrow(static_cast<size_t>(size), '\0');
    if (!WideCharToMultiByte(CP_ACP, 0, text.data(), -1, narrow.data(), size, nullptr, nullptr))
        return std::string();
    return std::string(narrow.data());
}

// The text of id as the platform's resource loader chooses it, empty when none.
std::string LoadFallback(UINT id) {
    char buffer[kPathSize];
    memset(buffer, 0, sizeof buffer);
    HMODULE module = GetModuleHandleA(nullptr);
    if (module == nullptr) return std::string();
    LoadStringA(module, id, buffer, sizeof buffer);
    buffer[sizeof buffer - 1] = '\0';
    return std::string(buffer);
}

std::string ExplicitLookup(WORD language, UINT id) {
    HRSRC found = FindResourceExA(nullptr, MAKEINTRESOURCEA(6),
                                  MAKEINTRESOURCEA(((id >> 4) + 1) & 0xFFFF), language);
    if (found == nullptr) {
        LOG_ERROR("FindResourceEx failed");
        throw UseFallback();
    }
    HGLOBAL loaded = LoadResource(nullptr, found);
    if (loaded == nullptr) throw UseFallback();

    std::string text;
    const void* block = LockResource(loaded);
    if (block != nullptr) {
        size_t units = SizeofResource(nullptr, found) / sizeof(WORD);
        text = ToAnsi(BlockEntry(static_cast<const WORD*>(block), units, id));
    }
    if (text.empty()) throw UseFallback();
    return text;
}

}  // namespace

WORD ChooseLanguage() {
    switch (GetSystemDefaultLangID() & 0x3FF) {
        case LANG_GERMAN: return 1031;
        case LANG_SPANISH: return 1034;
        case LANG_FRENCH: return 1036;
        default: return 0;
    }
}

std::string MsgDisplayString(WORD language, UINT id) {
    const std::string tag = "Quorlen::MsgDisplayString";
    LOG_MAIN_TRACE("%s %s", tag.c_str(), kEntering);

    std::string text;
    try {
        text = ExplicitLookup(language, id);
    } catch (...) {
        text = LoadFallback(id);
    }

    LOG_MAIN_TRACE("%s %s", tag.c_str(), kExiting);
    return text;
}

int DisplayMessage(UINT id) {
    char buffer[kPathSize];
    memset(buffer, 0, sizeof buffer);
    std::string text;

    WORD language = ChooseLanguage();
    const std::string tag = "Quorlen::DisplayMessage";
    LOG_MAIN_TRACE("%s %s", tag.c_str(), kEntering);

    if (language != 0) {
        text = MsgDisplayString(language, id);
    } else {
        LoadStringA(GetModuleHandleA(nullptr), id, buffer, sizeof buffer);
        buffer[sizeof buffer - 1] = '\0';
        text = buffer;
    }

    int shown = g_messageBox(nullptr, text.c_str(), kCaption, MB_OK);

    LOG_MAIN_TRACE("%s %s", tag.c_str(), kExiting);
    return shown == 0 ? 0 : 1;
}
