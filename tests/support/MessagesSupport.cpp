#include "tests/support/MessagesSupport.h"

#include <stdlib.h>

#include <thread>

namespace qt {

const std::vector<TableLanguage>& TableLanguages() {
    // Spanish (Spain, traditional sort) needs Wine's own spelling: es_ES gives the
    // modern sort 0x0C0A.
    static const std::vector<TableLanguage> languages = {
        {0x0404, "zh_TW.UTF-8", false},  {0x0405, "cs_CZ.UTF-8", true},
        {0x0406, "da_DK.UTF-8", true},   {0x0407, "de_DE.UTF-8", true},
        {0x0408, "el_GR.UTF-8", true},   {0x0409, "en_US.UTF-8", true},
        {0x040A, "es_ES_tradnl.UTF-8", true}, {0x040B, "fi_FI.UTF-8", true},
        {0x040C, "fr_FR.UTF-8", true},   {0x040E, "hu_HU.UTF-8", true},
        {0x0410, "it_IT.UTF-8", true},   {0x0411, "ja_JP.UTF-8", false},
        {0x0412, "ko_KR.UTF-8", false},  {0x0413, "nl_NL.UTF-8", true},
        {0x0414, "nb_NO.UTF-8", true},   {0x0415, "pl_PL.UTF-8", true},
        {0x0416, "pt_BR.UTF-8", true},   {0x0419, "ru_RU.UTF-8", true},
        {0x041D, "sv_SE.UTF-8", true},   {0x041F, "tr_TR.UTF-8", true},
        {0x0804, "zh_CN.UTF-8", false},
    };
    return languages;
}

bool ReadTableEntry(WORD language, UINT id, std::wstring* text) {
    text->clear();
    HRSRC found = FindResourceExW(nullptr, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(id / 16 + 1),
                                  language);
    if (!found) return false;
    HGLOBAL loaded = LoadResource(nullptr, found);
    const WORD* block = loaded ? static_cast<const WORD*>(LockResource(loaded)) : nullptr;
    if (!block) return false;
    size_t units = SizeofResource(nullptr, found) / 2;
    size_t pos = 0;
    for (UINT entry = 0; entry < id % 16; ++entry) {
        if (pos >= units) return false;
        pos += 1 + block[pos];
    }
    if (pos >= units || pos + 1 + block[pos] > units) return false;
    text->assign(reinterpret_cast<const wchar_t*>(block + pos + 1), block[pos]);
    return true;
}

ScopedThreadLocale::ScopedThreadLocale() : previous_(GetThreadLocale()) {
    char value[16] = {};
    if (GetEnvironmentVariableA("QUORLEN_THREAD_LOCALE", value, sizeof value) == 0) return;
    requested = MAKELCID(static_cast<LANGID>(strtoul(value, nullptr, 0)), SORT_DEFAULT);
    SetThreadLocale(requested);
}

ScopedThreadLocale::~ScopedThreadLocale() { SetThreadLocale(previous_); }

namespace {

BOOL CALLBACK CollectButton(HWND child, LPARAM param) {
    wchar_t cls[64] = {};
    GetClassNameW(child, cls, 64);
    if (lstrcmpiW(cls, L"Button") == 0 && IsWindowVisible(child)) {
        wchar_t text[256] = {};
        GetWindowTextW(child, text, 256);
        reinterpret_cast<std::vector<BoxButton>*>(param)->push_back({GetDlgCtrlID(child), text});
    }
    return TRUE;
}

}  // namespace

bool WaitForBoxButtons(const char* caption, std::vector<BoxButton>* buttons, DWORD timeoutMs) {
    buttons->clear();
    DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        HWND box = FindWindowA("#32770", caption);
        if (box && IsWindowVisible(box)) {
            EnumChildWindows(box, CollectButton, reinterpret_cast<LPARAM>(buttons));
            return true;
        }
        Sleep(30);
    }
    return false;
}

BoxAnswered ShowAndPressOk(const std::function<int()>& show) {
    BoxAnswered answered;
    std::thread user([&answered] {
        if (WaitForBoxButtons("Olvane", &answered.buttons))
            answered.seen = WaitForBoxAndPressOk("Olvane");
    });
    answered.result = show();
    user.join();
    return answered;
}

}  // namespace qt
