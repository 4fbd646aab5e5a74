// The localized messages on an English (United States) system: the explicit lookup and
// its fallback, the records of every path, the message box as the user sees it, and
// the string table of all 21 languages.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/Platform.h"
#include "base/Seam.h"
#include "base/Text.h"
#include "log/Logger.h"
#include "tests/support/MessagesSupport.h"
#include "tests/support/TestSupport.h"
#include "ui/Messages.h"

namespace {

// The English (United States) table, character for character.
const wchar_t* const kEnglish[] = {
    L"",
    L"This update does not support any of the Olvane device\n drivers that you have on your "
    L"PC. You do not need this software update.",
    L"Updating your computer is almost complete.You must restart your computer for the "
    L"changes to take effect.Do you want to restart your computer now?",
    L"Install Completed",
    L"Restart Now",
    L"Restart Later",
    L"The update could not be completed. Log on as an administrator, close all programs, and "
    L"run this update again.",
};

const char kMsgEnter[] = "Main Trace|Quorlen::MsgDisplayString - Entering";
const char kMsgExit[] = "Main Trace|Quorlen::MsgDisplayString - Exiting";
const char kBoxEnter[] = "Main Trace|Quorlen::DisplayMessage - Entering";
const char kBoxExit[] = "Main Trace|Quorlen::DisplayMessage - Exiting";
const char kNotFound[] = "Error|FindResourceEx failed";

std::string Narrow(const std::wstring& text, UINT codePage = CP_ACP) {
    if (text.empty()) return std::string();
    int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), &out[0], n,
                        nullptr, nullptr);
    return out;
}

class MessagesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(0x0409, GetSystemDefaultLangID()) << "these cases expect an en_US system";
        qt::ResetLogFiles();
        qt::WriteLogConfig(15);
    }
    void TearDown() override { qt::ResetLogFiles(); }

    std::string Lookup(WORD language, UINT id) {
        qt::ResetLogFiles();
        qt::WriteLogConfig(15);
        qt::ScopedProgramLogger logger;
        char text[kPathSize];
        MsgDisplayString(language, id, text);
        return text;
    }
};

TEST_F(MessagesTest, ExplicitLookupAndFallbackWithTheirRecords) {
    struct Case {
        const char* name;
        WORD language;
        UINT id;
        std::string expected;
        bool notFoundRecord;
    };
    const Case cases[] = {
        {"English text from its own block", 1033, 3, "Install Completed", false},
        {"last entry in use", 1033, 6, Narrow(kEnglish[6]), false},
        {"German text", 1031, 3, "Installation abgeschlossen", false},
        {"empty entry of an existing block: fallback, nothing found", 1031, 7, "", false},
        {"entry 0 is empty too", 1034, 0, "", false},
        {"block 2 does not exist", 1031, 16, "", true},
        {"far beyond the table", 1036, 0xFFFF, "", true},
        {"language without a table: LoadStringA's text", 0x0436, 3, "Install Completed", true},
        {"language without a table, text 1", 0x0436, 1, Narrow(kEnglish[1]), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, Lookup(c.language, c.id));
        std::vector<std::string> records = {kMsgEnter, kMsgExit};
        if (c.notFoundRecord) records.insert(records.begin() + 1, kNotFound);
        EXPECT_EQ(records, qt::RecordLines());
    }
    {
        SCOPED_TRACE("no logger: nothing written, same text");
        qt::ResetLogFiles();
        ASSERT_EQ(nullptr, g_logger);
        char text[kPathSize];
        MsgDisplayString(0x0436, 3, text);
        EXPECT_STREQ("Install Completed", text);
        EXPECT_FALSE(qt::FileExists(qt::LogFilePath()));
    }
}

TEST_F(MessagesTest, ChoosesExplicitLanguageOnlyForGermanSpanishFrench) {
    // The current system is English (United States): the platform's loader chooses.
    EXPECT_EQ(0, ChooseLanguage());
    // German, Spanish and French texts as MsgDisplayString gives them are exactly the
    // table's, converted to this system's code page.
    for (WORD language : {1031, 1034, 1036}) {
        for (UINT id = 1; id <= 6; ++id) {
            SCOPED_TRACE(std::to_string(language) + " id " + std::to_string(id));
            std::wstring entry;
            ASSERT_TRUE(qt::ReadTableEntry(language, id, &entry));
            EXPECT_EQ(Narrow(entry), Lookup(language, id));
        }
    }
}

TEST_F(MessagesTest, EnglishBoxShowsTwoLineTextWithOkOnly) {
    qt::BoxAnswered box = qt::ShowAndPressOk([] {
        qt::ScopedProgramLogger logger;
        return DisplayMessage(1);
    });
    const qt::BoxSeen& seen = box.seen;
    const std::vector<qt::BoxButton>& buttons = box.buttons;

    ASSERT_TRUE(seen.found) << "no box with the caption Olvane";
    EXPECT_EQ(1, box.result);
    EXPECT_EQ(L"Olvane", seen.caption);
    EXPECT_EQ(kEnglish[1], seen.text);
    size_t lineFeed = seen.text.find(L'\n');
    ASSERT_NE(std::wstring::npos, lineFeed);
    EXPECT_EQ(std::wstring::npos, seen.text.find(L'\n', lineFeed + 1)) << "more than two lines";
    EXPECT_EQ(L' ', seen.text[lineFeed + 1]) << "second line must begin with a blank";
    ASSERT_EQ(1u, buttons.size()) << "exactly one button";
    EXPECT_EQ(IDOK, buttons[0].id);
    EXPECT_EQ(L"OK", buttons[0].text);
    // English is left to the platform's loader: MsgDisplayString is not called.
    EXPECT_EQ((std::vector<std::string>{kBoxEnter, kBoxExit}), qt::RecordLines());
}

int WINAPI FailingBox(HWND, LPCSTR, LPCSTR, UINT) { return 0; }

struct BoxCall {
    int calls = 0;
    HWND owner = reinterpret_cast<HWND>(1);
    std::string text, caption;
    UINT type = 0xFFFFFFFF;
};
BoxCall g_boxCall;
int g_boxAnswer = 0;

int WINAPI RecordingBox(HWND owner, LPCSTR text, LPCSTR caption, UINT type) {
    ++g_boxCall.calls;
    g_boxCall.owner = owner;
    g_boxCall.text = text ? text : "(null)";
    g_boxCall.caption = caption ? caption : "(null)";
    g_boxCall.type = type;
    return g_boxAnswer;
}

TEST_F(MessagesTest, BoxCallAndResultThroughTheSeam) {
    {
        SCOPED_TRACE("the box cannot be shown");
        ScopedSeam<MessageBoxFn> seam(g_messageBox, FailingBox);
        {
            qt::ScopedProgramLogger logger;
            EXPECT_EQ(0, DisplayMessage(3));
        }
        EXPECT_EQ((std::vector<std::string>{kBoxEnter, kBoxExit}), qt::RecordLines());
    }
    struct Case {
        const char* name;
        UINT id;
        int answer;
        int result;
        std::string text;
    };
    const Case cases[] = {
        {"text 3, OK pressed", 3, IDOK, 1, "Install Completed"},
        {"closed otherwise", 1, IDCANCEL, 1, Narrow(kEnglish[1])},
        {"missing text: an empty box", 9, IDOK, 1, ""},
        {"failed", 3, 0, 0, "Install Completed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        g_boxCall = BoxCall();
        g_boxAnswer = c.answer;
        ScopedSeam<MessageBoxFn> seam(g_messageBox, RecordingBox);
        EXPECT_EQ(c.result, DisplayMessage(c.id));
        EXPECT_EQ(1, g_boxCall.calls);
        EXPECT_EQ(nullptr, g_boxCall.owner);
        EXPECT_EQ(c.text, g_boxCall.text);
        EXPECT_EQ("Olvane", g_boxCall.caption);
        EXPECT_EQ(static_cast<UINT>(MB_OK), g_boxCall.type);
    }
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
    reinterpret_cast<std::vector<WORD>*>(param)->push_back(language);
    return TRUE;
}

BOOL CALLBACK CountName(HMODULE, LPCWSTR, LPWSTR, LONG_PTR param) {
    ++*reinterpret_cast<int*>(param);
    return TRUE;
}

TEST(StringTable, TwentyOneLanguagesOneBlockEachConvertible) {
    std::vector<WORD> expectedLanguages;
    for (const qt::TableLanguage& l : qt::TableLanguages()) expectedLanguages.push_back(l.id);
    std::vector<WORD> languages;
    EnumResourceLanguagesW(nullptr, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(1), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(expectedLanguages, languages);
    int blocks = 0;
    EnumResourceNamesW(nullptr, MAKEINTRESOURCEW(6), CountName, reinterpret_cast<LONG_PTR>(&blocks));
    EXPECT_EQ(1, blocks) << "only block 1 (ids 0 to 15) may exist";

    for (UINT id = 0; id <= 6; ++id) {
        SCOPED_TRACE("English id " + std::to_string(id));
        std::wstring entry;
        EXPECT_TRUE(qt::ReadTableEntry(0x0409, id, &entry));
        EXPECT_EQ(kEnglish[id], entry);
    }

    for (const qt::TableLanguage& language : qt::TableLanguages()) {
        char cpText[16] = {};
        ASSERT_TRUE(GetLocaleInfoA(language.id, LOCALE_IDEFAULTANSICODEPAGE, cpText, sizeof cpText));
        UINT codePage = static_cast<UINT>(atoi(cpText));
        for (UINT id = 0; id < 16; ++id) {
            SCOPED_TRACE(std::string(language.lcAll) + " id " + std::to_string(id) + " code page " +
                         cpText);
            std::wstring entry;
            ASSERT_TRUE(qt::ReadTableEntry(language.id, id, &entry));
            if (id == 0 || id > 6) {
                EXPECT_TRUE(entry.empty());
                continue;
            }
            ASSERT_FALSE(entry.empty());
            if (language.id != 0x0409) {
                EXPECT_NE(kEnglish[id], entry) << "left untranslated";
            }

            // No best-fit mapping: a character that changes on the way counts as lost.
            BOOL usedDefault = FALSE;
            char narrow[4096];
            int n = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, entry.data(),
                                        static_cast<int>(entry.size()), narrow, sizeof narrow,
                                        nullptr, &usedDefault);
            ASSERT_GT(n, 0);
            EXPECT_FALSE(usedDefault) << "a character is missing from the code page";
            EXPECT_LE(n, 1023) << "longer than the 1024-byte buffers";
            wchar_t back[4096];
            int m = MultiByteToWideChar(codePage, 0, narrow, n, back, 4096);
            EXPECT_EQ(entry, std::wstring(back, static_cast<size_t>(m)));
            EXPECT_EQ(std::wstring::npos, entry.find(L'\r'));
            if (PRIMARYLANGID(language.id) == LANG_FRENCH) {
                // A plain blank would let the box wrap the mark onto a line of its own.
                for (const wchar_t* mark : {L" ?", L" !", L" :", L" ;"}) {
                    EXPECT_EQ(std::wstring::npos, entry.find(mark)) << "needs a no-break space";
                }
            }
            if (id == 1) {
                size_t lineFeed = entry.find(L'\n');
                if (language.lineFeedInText1) {
                    ASSERT_NE(std::wstring::npos, lineFeed);
                    EXPECT_EQ(L' ', entry[lineFeed + 1]);
                    EXPECT_EQ(std::wstring::npos, entry.find(L'\n', lineFeed + 1));
                } else {
                    EXPECT_EQ(std::wstring::npos, lineFeed);
                }
            } else {
                EXPECT_EQ(std::wstring::npos, entry.find(L'\n'));
            }
        }
    }
}

// A copy of the probe tool whose German block is replaced by the given units; the
// explicit lookup in it must stay inside the block and fall back where the block ends.
std::string LookupInDamagedCopy(const std::vector<WORD>& block, UINT id) {
    const std::string copy = qt::TempDir() + "\\DamagedProbe.exe";
    const std::string out = qt::TempDir() + "\\DamagedProbe.txt";
    qt::RemoveFile(out);
    EXPECT_TRUE(CopyFileA((qt::ModuleDir() + "\\MessageProbe.exe").c_str(), copy.c_str(), FALSE));
    HANDLE update = BeginUpdateResourceA(copy.c_str(), FALSE);
    EXPECT_NE(nullptr, update);
    if (!update) return "(no update)";
    EXPECT_TRUE(UpdateResourceA(update, MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(1), 1031,
                                const_cast<WORD*>(block.data()),
                                static_cast<DWORD>(block.size() * sizeof(WORD))));
    EXPECT_TRUE(EndUpdateResourceA(update, FALSE));
    qt::ProcessResult run =
        qt::RunProcess("\"" + copy + "\" --string 1031 " + std::to_string(id) + " \"" + out + "\"");
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(0u, run.exitCode);
    std::string text;
    EXPECT_TRUE(qt::ReadFileBytes(out, &text)) << "the probe wrote no result";
    qt::RemoveFile(out);
    qt::RemoveFile(copy);
    return text;
}

TEST(DamagedStringBlock, WalkStopsAtBlockEndAndFallsBack) {
    // Entries 0 to 2 sound, entry 3 claims 50 units where only 2 remain.
    const std::vector<WORD> overrun = {0, 2, 'A', '1', 2, 'A', '2', 50, 'X', 'Y'};
    // Only entries 0 to 2: the rest of the block is missing.
    const std::vector<WORD> truncated = {0, 2, 'B', '1', 2, 'B', '2'};
    struct Case {
        const char* name;
        const std::vector<WORD>& block;
        UINT id;
        std::string expected;
    };
    const Case cases[] = {
        {"sound entry before the damage", overrun, 2, "A2"},
        {"entry running past the end: LoadStringA's text", overrun, 3, "Install Completed"},
        {"entry after the damage", overrun, 5, "Restart Later"},
        {"entry past a truncated block", truncated, 4, "Restart Now"},
        {"empty id past a truncated block", truncated, 7, ""},
        {"sound entry of a truncated block", truncated, 1, "B1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, LookupInDamagedCopy(c.block, c.id));
    }
}

}  // namespace
