// The restart prompt's dialog template as the executable carries it: read back from the
// resource and parsed, so that a change to the resource script that alters what the
// user gets (language, style, size, font, controls) fails here.
#include <gtest/gtest.h>

#include <vector>

#include "resources/resource.h"
#include "tests/support/TestSupport.h"

namespace {

// A reader over the template's 16-bit units.
class Units {
public:
    Units(const BYTE* data, size_t size) : data_(data), size_(size) {}
    bool ok() const { return ok_; }
    size_t offset() const { return pos_; }
    WORD Word() {
        if (pos_ + 2 > size_) { ok_ = false; return 0; }
        WORD w = static_cast<WORD>(data_[pos_] | data_[pos_ + 1] << 8);
        pos_ += 2;
        return w;
    }
    DWORD Dword() {
        DWORD low = Word();
        return low | static_cast<DWORD>(Word()) << 16;
    }
    short Short() { return static_cast<short>(Word()); }
    // A name or ordinal field: 0 (none), 0xFFFF then an ordinal, or a terminated text.
    std::wstring NameOrOrdinal(WORD* ordinal) {
        *ordinal = 0;
        WORD first = Word();
        if (first == 0xFFFF) {
            *ordinal = Word();
            return std::wstring();
        }
        std::wstring text;
        for (WORD w = first; w != 0 && ok_; w = Word()) text += static_cast<wchar_t>(w);
        return text;
    }
    std::wstring Text() {
        std::wstring text;
        for (WORD w = Word(); w != 0 && ok_; w = Word()) text += static_cast<wchar_t>(w);
        return text;
    }
    void AlignDword() { pos_ = (pos_ + 3) & ~static_cast<size_t>(3); }
    void Skip(size_t bytes) {
        if (pos_ + bytes > size_) ok_ = false;
        pos_ += bytes;
    }

private:
    const BYTE* data_;
    size_t size_;
    size_t pos_ = 0;
    bool ok_ = true;
};

BOOL CALLBACK CollectLanguage(HMODULE, LPCSTR, LPCSTR, WORD language, LONG_PTR list) {
    reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
    return TRUE;
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text)
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    return text;
}

TEST(RestartTemplateTest, IsTheJapaneseHiddenModalFrameWithThreeEmptyControls) {
    std::vector<WORD> languages;
    EnumResourceLanguagesA(nullptr, RT_DIALOG, MAKEINTRESOURCEA(IDD_RESTART),
                           CollectLanguage, reinterpret_cast<LONG_PTR>(&languages));
    // One language only, so that every system gets the same template.
    EXPECT_EQ(std::vector<WORD>{0x0411}, languages);

    HRSRC info = FindResourceExA(nullptr, RT_DIALOG, MAKEINTRESOURCEA(IDD_RESTART),
                                 MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT));
    ASSERT_NE(nullptr, info) << qt::Win32ErrorText(GetLastError());
    const BYTE* data = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, info)));
    ASSERT_NE(nullptr, data);
    Units u(data, SizeofResource(nullptr, info));

    // A plain DLGTEMPLATE: an extended one would start with 1, 0xFFFF.
    const DWORD style = u.Dword();
    const DWORD exStyle = u.Dword();
    const WORD count = u.Word();
    const short x = u.Short(), y = u.Short(), cx = u.Short(), cy = u.Short();
    EXPECT_EQ(static_cast<DWORD>(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT),
              style) << std::hex << style;
    EXPECT_EQ(0u, style & WS_VISIBLE) << "the prompt must stay hidden until shown";
    EXPECT_EQ(0u, exStyle);
    EXPECT_EQ(3, count);
    EXPECT_EQ(0, x);
    EXPECT_EQ(0, y);
    EXPECT_EQ(259, cx);
    EXPECT_EQ(133, cy);
    WORD ordinal = 0;
    EXPECT_EQ(L"", u.NameOrOrdinal(&ordinal)) << "menu";
    EXPECT_EQ(0, ordinal) << "menu";
    EXPECT_EQ(L"", u.NameOrOrdinal(&ordinal)) << "class";
    EXPECT_EQ(0, ordinal) << "class";
    EXPECT_EQ("Dialog", qt::ToUtf8(u.Text()));
    EXPECT_EQ(9, u.Word());
    // The full-width face name: ＭＳ Ｐゴシック.
    EXPECT_EQ(qt::ToUtf8(L"\xFF2D\xFF33 \xFF30\x30B4\x30B7\x30C3\x30AF"), qt::ToUtf8(u.Text()));
    ASSERT_TRUE(u.ok());

    struct Control {
        WORD id;
        WORD classAtom;           // 0x80 button, 0x82 static
        const wchar_t* className;
        DWORD style;
        short x, y, cx, cy;
    };
    const Control expected[] = {
        {IDOK, 0x80, L"button", BS_DEFPUSHBUTTON | WS_CHILD | WS_VISIBLE | WS_TABSTOP, 16, 98, 110, 28},
        {IDCANCEL, 0x80, L"button", BS_PUSHBUTTON | WS_CHILD | WS_VISIBLE | WS_TABSTOP, 139, 98, 102, 28},
        {IDC_RESTART_TEXT, 0x82, L"static", SS_LEFT | WS_CHILD | WS_VISIBLE | WS_GROUP, 15, 17, 229, 66},
    };
    for (int i = 0; i < count && i < 3; ++i) {
        const Control& want = expected[i];
        SCOPED_TRACE("control " + std::to_string(i) + ", expected id " + std::to_string(want.id));
        u.AlignDword();
        const DWORD itemStyle = u.Dword();
        const DWORD itemExStyle = u.Dword();
        const short ix = u.Short(), iy = u.Short(), icx = u.Short(), icy = u.Short();
        const WORD id = u.Word();
        WORD atom = 0;
        const std::wstring className = u.NameOrOrdinal(&atom);
        WORD textOrdinal = 0;
        const std::wstring text = u.NameOrOrdinal(&textOrdinal);
        const WORD extra = u.Word();
        u.Skip(extra);
        ASSERT_TRUE(u.ok());

        EXPECT_EQ(want.id, id);
        // The class may be stored as the predefined atom or by name.
        EXPECT_TRUE(atom == want.classAtom || Lower(className) == want.className)
            << "atom " << atom << ", name " << qt::ToUtf8(className);
        EXPECT_EQ(want.style, itemStyle) << std::hex << itemStyle;
        EXPECT_EQ(0u, itemExStyle);
        EXPECT_EQ(want.x, ix);
        EXPECT_EQ(want.y, iy);
        EXPECT_EQ(want.cx, icx);
        EXPECT_EQ(want.cy, icy);
        EXPECT_EQ(L"", text);
        EXPECT_EQ(0, textOrdinal);
        EXPECT_EQ(0, extra);
    }
}

}  // namespace
