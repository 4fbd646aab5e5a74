// The four text steps when one of them fails for real: a dialog of our own that lacks a
// control, a dialog that is gone, and the opener with its string table removed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "log/Logger.h"
#include "resources/resource.h"
#include "tests/support/MessagesSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/RestartSupport.h"
#include "ui/Restart.h"

namespace {

const char kSwitchEntering[] = "Main Trace|Quorlen::LanguageSwitch - Entering";
const char kSwitchExiting[] = "Main Trace|Quorlen::LanguageSwitch - Exiting";
const char kDisplayEntering[] = "Main Trace|Quorlen::DisplayDialog - Entering";
const char kDisplayExiting[] = "Main Trace|Quorlen::DisplayDialog - Exiting";
const char kLookupEntering[] = "Main Trace|Quorlen::MsgDisplayString - Entering";
const char kLookupExiting[] = "Main Trace|Quorlen::MsgDisplayString - Exiting";

INT_PTR CALLBACK PlainProc(HWND, UINT message, WPARAM, LPARAM) { return message == WM_INITDIALOG; }

// A hidden dialog in memory with a caption and the given controls (empty texts).
HWND CreateTestDialog(const std::vector<WORD>& controls) {
    std::vector<WORD> t;
    auto dword = [&t](DWORD v) {
        t.push_back(LOWORD(v));
        t.push_back(HIWORD(v));
    };
    dword(WS_POPUP | WS_CAPTION | DS_MODALFRAME);
    dword(0);
    t.push_back(static_cast<WORD>(controls.size()));
    for (WORD v : {0, 0, 200, 100}) t.push_back(v);
    t.push_back(0);  // no menu
    t.push_back(0);  // default class
    for (const wchar_t* c = L"Own"; *c; ++c) t.push_back(*c);
    t.push_back(0);
    for (WORD id : controls) {
        if (t.size() % 2) t.push_back(0);  // items start on a DWORD boundary
        const bool text = id == IDC_RESTART_TEXT;
        dword((text ? SS_LEFT : BS_PUSHBUTTON) | WS_CHILD | WS_VISIBLE);
        dword(0);
        for (WORD v : {10, 10, 50, 14}) t.push_back(v);
        t.push_back(id);
        t.push_back(0xFFFF);
        t.push_back(text ? 0x0082 : 0x0080);
        t.push_back(0);  // empty text
        t.push_back(0);  // no creation data
    }
    return CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                      reinterpret_cast<LPCDLGTEMPLATEA>(t.data()), nullptr, PlainProc, 0);
}

std::string TextOf(HWND window) {
    wchar_t text[2048] = {};
    GetWindowTextW(window, text, 2048);
    return qt::ToUtf8(text);
}

std::string Entry(LANGID language, UINT id) {
    std::wstring text;
    qt::ReadTableEntry(language, id, &text);
    return qt::ToUtf8(text);
}

// The error the platform gives for asking a dialog for a control it lacks, and for
// setting the text of a window that is gone: what the records must carry.
DWORD MissingControlError(HWND dialog, int id) {
    SetLastError(0);
    GetDlgItem(dialog, id);
    return GetLastError();
}

DWORD GoneWindowError(HWND gone) {
    SetLastError(0);
    SetWindowTextA(gone, "x");
    return GetLastError();
}

class RestartTextsTest : public ::testing::Test {
protected:
    void SetUp() override {
        qt::ResetLogFiles();
        qt::WriteLogConfig(15);
    }
    void TearDown() override {
        qt::ResetLogFiles();
        g_restartDialog = nullptr;
    }
};

TEST_F(RestartTextsTest, AFailedStepWritesOneRecordAndLeavesTheLaterTextsAsTheyWere) {
    ASSERT_EQ(1033, GetSystemDefaultLangID()) << "this test expects the default English system";
    HWND gone = CreateTestDialog({});
    ASSERT_NE(nullptr, gone);
    DestroyWindow(gone);
    const std::string goneError = std::to_string(GoneWindowError(gone));

    {
        SCOPED_TRACE("LanguageSwitch, no Restart Now button");
        HWND dialog = CreateTestDialog({IDC_RESTART_TEXT, IDCANCEL});
        ASSERT_NE(nullptr, dialog);
        const std::string error = std::to_string(MissingControlError(dialog, IDOK));
        g_restartDialog = dialog;
        {
            qt::ScopedProgramLogger logger;
            EXPECT_EQ(1, LanguageSwitch());
        }
        EXPECT_EQ((std::vector<std::string>{kSwitchEntering,
                                            "Error|GetDlgItem failed for ID 1. Error = " + error,
                                            kSwitchExiting}),
                  qt::RecordLines());
        EXPECT_EQ("Install Completed", TextOf(dialog));
        EXPECT_EQ(Entry(1033, IDS_RESTART_QUESTION), TextOf(GetDlgItem(dialog, IDC_RESTART_TEXT)));
        EXPECT_EQ("", TextOf(GetDlgItem(dialog, IDCANCEL)));
        DestroyWindow(dialog);
    }
    {
        SCOPED_TRACE("LanguageSwitch, the dialog is gone");
        qt::ResetLogFiles();
        qt::WriteLogConfig(15);
        g_restartDialog = gone;
        {
            qt::ScopedProgramLogger logger;
            EXPECT_EQ(1, LanguageSwitch());
        }
        EXPECT_EQ((std::vector<std::string>{kSwitchEntering,
                                            "Error|SetWindowText failed for ID 3.Error = " + goneError,
                                            kSwitchExiting}),
                  qt::RecordLines());
    }
    {
        SCOPED_TRACE("DisplayDialog in German, no question control");
        qt::ResetLogFiles();
        qt::WriteLogConfig(15);
        HWND dialog = CreateTestDialog({IDOK, IDCANCEL});
        ASSERT_NE(nullptr, dialog);
        const std::string error = std::to_string(MissingControlError(dialog, IDC_RESTART_TEXT));
        g_restartDialog = dialog;
        {
            qt::ScopedProgramLogger logger;
            DisplayDialog(1031);
        }
        // The lookup of the failing step comes before its record.
        EXPECT_EQ((std::vector<std::string>{kDisplayEntering, kLookupEntering, kLookupExiting,
                                            kLookupEntering, kLookupExiting,
                                            "Error|GetDlgItem failed for ID 1000. Error = " + error,
                                            kDisplayExiting}),
                  qt::RecordLines());
        EXPECT_EQ(Entry(1031, IDS_INSTALL_COMPLETED), TextOf(dialog));
        EXPECT_EQ("", TextOf(GetDlgItem(dialog, IDOK)));
        EXPECT_EQ("", TextOf(GetDlgItem(dialog, IDCANCEL)));
        DestroyWindow(dialog);
    }
    {
        SCOPED_TRACE("DisplayDialog in French, the dialog is gone");
        qt::ResetLogFiles();
        qt::WriteLogConfig(15);
        g_restartDialog = gone;
        {
            qt::ScopedProgramLogger logger;
            DisplayDialog(1036);
        }
        EXPECT_EQ((std::vector<std::string>{kDisplayEntering, kLookupEntering, kLookupExiting,
                                            "Error|SetWindowText failed for ID 3.Error = " + goneError,
                                            kDisplayExiting}),
                  qt::RecordLines());
    }
    {
        SCOPED_TRACE("DisplayDialog in Spanish, all controls, no logger");
        qt::ResetLogFiles();
        HWND dialog = CreateTestDialog({IDC_RESTART_TEXT, IDOK, IDCANCEL});
        ASSERT_NE(nullptr, dialog);
        g_restartDialog = dialog;
        DisplayDialog(1034);
        EXPECT_EQ(Entry(1034, IDS_INSTALL_COMPLETED), TextOf(dialog));
        EXPECT_EQ(Entry(1034, IDS_RESTART_QUESTION), TextOf(GetDlgItem(dialog, IDC_RESTART_TEXT)));
        EXPECT_EQ(Entry(1034, IDS_RESTART_NOW), TextOf(GetDlgItem(dialog, IDOK)));
        EXPECT_EQ(Entry(1034, IDS_RESTART_LATER), TextOf(GetDlgItem(dialog, IDCANCEL)));
        EXPECT_FALSE(qt::FileExists(qt::LogFilePath()));
        DestroyWindow(dialog);
    }
}

// ---- The opener with its string table removed: LoadStringA finds no string 3.

struct OpenPrompt {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindPromptOf(HWND window, LPARAM param) {
    auto* p = reinterpret_cast<OpenPrompt*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    char className[16] = {};
    GetClassNameA(window, className, sizeof className);
    if (pid == p->pid && strcmp(className, "#32770") == 0 && IsWindowVisible(window)) {
        p->found = window;
        return FALSE;
    }
    return TRUE;
}

// Every resource of an image but its string tables, to be written back into a copy.
struct KeptResource {
    std::string type, name;  // "#n" for integer ids, as the A functions accept them
    WORD language;
    std::string data;
};

std::string ResourceId(LPCSTR id) {
    return IS_INTRESOURCE(id) ? "#" + std::to_string(reinterpret_cast<ULONG_PTR>(id)) : std::string(id);
}

BOOL CALLBACK KeepLanguage(HMODULE image, LPCSTR type, LPCSTR name, WORD language, LONG_PTR list) {
    HRSRC info = FindResourceExA(image, type, name, language);
    const char* data = info ? static_cast<const char*>(LockResource(LoadResource(image, info))) : nullptr;
    if (data)
        reinterpret_cast<std::vector<KeptResource>*>(list)->push_back(
            {ResourceId(type), ResourceId(name), language, std::string(data, SizeofResource(image, info))});
    return TRUE;
}

BOOL CALLBACK KeepName(HMODULE image, LPCSTR type, LPSTR name, LONG_PTR list) {
    EnumResourceLanguagesA(image, type, name, KeepLanguage, list);
    return TRUE;
}

BOOL CALLBACK KeepType(HMODULE image, LPSTR type, LONG_PTR list) {
    if (type != RT_STRING) EnumResourceNamesA(image, type, KeepName, list);
    return TRUE;
}

class ScopedFileRemoval {
public:
    explicit ScopedFileRemoval(std::string path) : path_(std::move(path)) { qt::RemoveFile(path_); }
    ~ScopedFileRemoval() { qt::RemoveFile(path_); }

private:
    std::string path_;
};

TEST_F(RestartTextsTest, WithoutStringTableThePromptKeepsItsTemplateTextsAndStillCloses) {
    const std::string opener = qt::ModuleDir() + "\\..\\RestartPrompt.exe";
    ASSERT_TRUE(qt::FileExists(opener)) << opener;
    const std::string copy = qt::TempDir() + "\\RestartPromptNoStrings.exe";
    ScopedFileRemoval removeCopy(copy);
    ASSERT_TRUE(CopyFileA(opener.c_str(), copy.c_str(), FALSE)) << qt::Win32ErrorText(GetLastError());

    // Rewrite the copy's resources without its string tables. Removing single entries
    // is not enough under Wine: EndUpdateResource merges the file's old resources back.
    std::vector<KeptResource> kept;
    {
        HMODULE image = LoadLibraryExA(opener.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, image) << qt::Win32ErrorText(GetLastError());
        EnumResourceTypesA(image, KeepType, reinterpret_cast<LONG_PTR>(&kept));
        FreeLibrary(image);
    }
    ASSERT_FALSE(kept.empty());
    HANDLE update = BeginUpdateResourceA(copy.c_str(), TRUE);
    ASSERT_NE(nullptr, update) << qt::Win32ErrorText(GetLastError());
    for (KeptResource& r : kept)
        EXPECT_TRUE(UpdateResourceA(update, r.type.c_str(), r.name.c_str(), r.language, &r.data[0],
                                    static_cast<DWORD>(r.data.size())));
    ASSERT_TRUE(EndUpdateResourceA(update, FALSE)) << qt::Win32ErrorText(GetLastError());

    // What LoadStringA will meet: no string block, the dialog still there.
    DWORD lookupError = 0;
    {
        HMODULE image = LoadLibraryExA(copy.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, image) << qt::Win32ErrorText(GetLastError());
        SetLastError(0);
        EXPECT_EQ(nullptr, FindResourceA(image, MAKEINTRESOURCEA(1), RT_STRING));
        lookupError = GetLastError();
        EXPECT_NE(nullptr, FindResourceA(image, MAKEINTRESOURCEA(IDD_RESTART), RT_DIALOG));
        FreeLibrary(image);
    }

    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    std::string line = "\"" + copy + "\"";
    ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        << qt::Win32ErrorText(GetLastError());
    // Idle in its modal loop: the texts have been set, or not, for good.
    WaitForInputIdle(pi.hProcess, 15000);
    OpenPrompt prompt = {pi.dwProcessId, nullptr};
    for (DWORD start = GetTickCount(); !prompt.found && GetTickCount() - start < 15000; Sleep(30))
        EnumWindows(FindPromptOf, reinterpret_cast<LPARAM>(&prompt));
    EXPECT_NE(nullptr, prompt.found) << "the prompt never appeared";
    if (prompt.found) {
        EXPECT_EQ("Dialog", TextOf(prompt.found));
        EXPECT_EQ("", TextOf(GetDlgItem(prompt.found, IDC_RESTART_TEXT)));
        EXPECT_EQ("", TextOf(GetDlgItem(prompt.found, IDOK)));
        EXPECT_EQ("", TextOf(GetDlgItem(prompt.found, IDCANCEL)));
        RECT rect = {};
        GetWindowRect(prompt.found, &rect);
        EXPECT_EQ(300, rect.left);
        EXPECT_EQ(200, rect.top);
        HWND later = GetDlgItem(prompt.found, IDCANCEL);
        PostMessageA(prompt.found, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(later));
    }
    if (WaitForSingleObject(pi.hProcess, 15000) != WAIT_OBJECT_0) {
        ADD_FAILURE() << "the opener did not end";
        TerminateProcess(pi.hProcess, 255);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    DWORD exitCode = 1;
    GetExitCodeProcess(pi.hProcess, &exitCode);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(0u, exitCode);

    std::vector<std::string> lines;
    for (const std::string& l : qt::RecordLines())
        if (l.find("Quorlen::RestartDialog") == std::string::npos) lines.push_back(l);
    EXPECT_EQ((std::vector<std::string>{
                  kSwitchEntering,
                  "Error|LoadString failed for ID 3.Error = " + std::to_string(lookupError),
                  kSwitchExiting}),
              lines);
}

}  // namespace
