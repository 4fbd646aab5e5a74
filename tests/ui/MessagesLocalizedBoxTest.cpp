// The message box under one system language, chosen per CTest entry: QUORLEN_LC_ALL
// sets the language, QUORLEN_EXPECT_SYSTEM_LANG says which system language that must
// give, QUORLEN_EXPECT_LANG which table language the box must show, and
// QUORLEN_THREAD_LOCALE (optional) a user locale for the thread. Without them the case
// is English (United States) on every count.
#include <gtest/gtest.h>

#include <windows.h>

#include <stdlib.h>

#include <string>
#include <vector>

#include "log/Logger.h"
#include "tests/support/MessagesSupport.h"
#include "tests/support/TestSupport.h"
#include "ui/Messages.h"

namespace {

WORD ExpectedFromEnvironment(const char* name, WORD otherwise) {
    const char* value = getenv(name);
    return value && *value ? static_cast<WORD>(strtoul(value, nullptr, 0)) : otherwise;
}

TEST(LocalizedBox, ShowsOwnLanguage) {
    const WORD system = ExpectedFromEnvironment("QUORLEN_EXPECT_SYSTEM_LANG", 0x0409);
    const WORD table = ExpectedFromEnvironment("QUORLEN_EXPECT_LANG", 0x0409);
    // A misspelt LC_ALL silently gives another language: refuse to test that one.
    ASSERT_EQ(system, GetSystemDefaultLangID())
        << "QUORLEN_LC_ALL=" << (getenv("QUORLEN_LC_ALL") ? getenv("QUORLEN_LC_ALL") : "(unset)");

    qt::ScopedThreadLocale user;
    if (user.requested != 0) {
        ASSERT_EQ(user.requested, GetThreadLocale());
    }

    const WORD primary = system & 0x3FF;
    const bool explicitLookup =
        primary == LANG_GERMAN || primary == LANG_SPANISH || primary == LANG_FRENCH;

    for (UINT id : {3u, 1u}) {
        SCOPED_TRACE("id " + std::to_string(id));
        std::wstring expected;
        ASSERT_TRUE(qt::ReadTableEntry(table, id, &expected));
        ASSERT_FALSE(expected.empty());

        qt::ResetLogFiles();
        qt::WriteLogConfig(15);
        qt::BoxAnswered box = qt::ShowAndPressOk([id] {
            qt::ScopedProgramLogger logger;
            return DisplayMessage(id);
        });
        const qt::BoxSeen& seen = box.seen;
        const std::vector<qt::BoxButton>& buttons = box.buttons;

        ASSERT_TRUE(seen.found) << "no box with the caption Olvane";
        EXPECT_EQ(1, box.result);
        EXPECT_EQ(L"Olvane", seen.caption);
        EXPECT_EQ(qt::ToUtf8(expected), qt::ToUtf8(seen.text));
        ASSERT_EQ(1u, buttons.size());
        EXPECT_EQ(IDOK, buttons[0].id);

        std::vector<std::string> records = {"Main Trace|Quorlen::DisplayMessage - Entering"};
        if (explicitLookup) {
            records.push_back("Main Trace|Quorlen::MsgDisplayString - Entering");
            records.push_back("Main Trace|Quorlen::MsgDisplayString - Exiting");
        }
        records.push_back("Main Trace|Quorlen::DisplayMessage - Exiting");
        EXPECT_EQ(records, qt::RecordLines());
    }
    qt::ResetLogFiles();
}

}  // namespace
