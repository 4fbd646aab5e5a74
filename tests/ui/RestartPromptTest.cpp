// The restart prompt as the user meets it: opened modally on the test thread from the
// real template, read and pressed from a second thread on the Xvfb screen. The reboot
// call is a counting stand-in; everything else is the real dialog manager.
#include <gtest/gtest.h>

#include <stdlib.h>

#include "base/Platform.h"
#include "base/Seam.h"
#include "log/Logger.h"
#include "resources/resource.h"
#include "tests/support/MessagesSupport.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/RestartSupport.h"
#include "ui/Restart.h"

namespace {

const char kDialogEntering[] = "Main Trace|Quorlen::RestartDialog - Entering";
const char kDialogExiting[] = "Main Trace|Quorlen::RestartDialog - Exiting";

// The language whose table the prompt must show on this process's system: set by the
// CTest entry that chose the system language (and perhaps a thread locale through
// QUORLEN_THREAD_LOCALE); English (United States) by default.
LANGID ExpectedLanguage() {
    char value[16] = {};
    if (GetEnvironmentVariableA("QUORLEN_EXPECT_LANG", value, sizeof value) == 0) return 1033;
    return static_cast<LANGID>(atoi(value));
}

int g_procCalls = 0;

// Counts the messages that reach the prompt's procedure.
INT_PTR CALLBACK CountingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    ++g_procCalls;
    return RestartDialog(dialog, message, wParam, lParam);
}

class RestartPromptTest : public rt::RebootStandInTest {};

TEST_F(RestartPromptTest, ShowsTheSystemLanguageTextsAtItsPlaceWithRestartNowAsDefault) {
    const LANGID language = ExpectedLanguage();
    SCOPED_TRACE("system language " + std::to_string(GetSystemDefaultLangID()) + ", expected table " +
                 std::to_string(language));
    std::wstring caption, question, restartNow, restartLater;
    ASSERT_TRUE(qt::ReadTableEntry(language, IDS_INSTALL_COMPLETED, &caption))
        << "no string table in language " << language;
    ASSERT_TRUE(qt::ReadTableEntry(language, IDS_RESTART_QUESTION, &question));
    ASSERT_TRUE(qt::ReadTableEntry(language, IDS_RESTART_NOW, &restartNow));
    ASSERT_TRUE(qt::ReadTableEntry(language, IDS_RESTART_LATER, &restartLater));
    rt::PromptRun run;
    {
        qt::ScopedThreadLocale user;
        if (user.requested != 0) {
            ASSERT_EQ(user.requested, GetThreadLocale());
        }
        qt::ScopedProgramLogger logger;
        run = rt::RunPrompt(rt::Press::RestartLater, RestartDialog);
    }
    ASSERT_TRUE(run.view.found) << "the prompt never appeared";
    EXPECT_EQ(qt::ToUtf8(caption), qt::ToUtf8(run.view.caption));
    EXPECT_EQ(qt::ToUtf8(question), qt::ToUtf8(run.view.question));
    EXPECT_EQ(qt::ToUtf8(restartNow), qt::ToUtf8(run.view.restartNow));
    EXPECT_EQ(qt::ToUtf8(restartLater), qt::ToUtf8(run.view.restartLater));
    EXPECT_EQ(300, run.view.rect.left);
    EXPECT_EQ(200, run.view.rect.top);
    EXPECT_GT(run.view.rect.right - run.view.rect.left, 100);  // sized by the template
    EXPECT_EQ(MAKELRESULT(IDOK, DC_HASDEFID), run.view.defaultId);
    EXPECT_TRUE(run.view.focusOnRestartNow);
    EXPECT_TRUE(run.endedByPress);
    EXPECT_EQ(0, run.result);

    // German, Spanish and French systems take the texts by explicit language; the
    // others leave the choice to the resource loader.
    const bool explicitLanguage = language == 1031 || language == 1034 || language == 1036;
    const std::vector<std::string> display = rt::TaggedLines("Quorlen::DisplayDialog");
    EXPECT_EQ(explicitLanguage ? 2u : 0u, display.size());
    const std::vector<std::string> lines = qt::RecordLines();
    EXPECT_EQ(1, rt::CountLines(lines, "Main Trace|Quorlen::LanguageSwitch - Entering"));
    EXPECT_EQ(1, rt::CountLines(lines, "Main Trace|Quorlen::LanguageSwitch - Exiting"));
    for (const std::string& line : lines) EXPECT_EQ(0u, line.rfind("Main Trace|", 0)) << line;
}

TEST_F(RestartPromptTest, OnlyRestartNowAndEnterRequestTheRebootAndEveryWayEndsWithZero) {
    struct Case {
        const char* name;
        rt::Press press;
        int reboots;
    };
    const Case cases[] = {
        {"Restart Now clicked", rt::Press::RestartNow, 1},
        {"Enter on the default button", rt::Press::Enter, 1},
        {"Restart Later clicked", rt::Press::RestartLater, 0},
        {"Esc", rt::Press::Escape, 0},
        {"close box", rt::Press::CloseBox, 0},
    };
    for (bool withLogger : {true, false}) {
        for (const Case& c : cases) {
            // Without a logger, one way that reboots and one that does not suffice (each
            // prompt costs Wine two seconds to take down without a window manager).
            if (!withLogger && c.press != rt::Press::RestartNow && c.press != rt::Press::RestartLater)
                continue;
            SCOPED_TRACE(std::string(c.name) + (withLogger ? ", with logger" : ", without logger"));
            qt::ResetLogFiles();
            qt::WriteLogConfig(15);
            rt::g_exitCalls = rt::ExitCalls();
            rt::PromptRun run;
            if (withLogger) {
                qt::ScopedProgramLogger logger;
                run = rt::RunPrompt(c.press, RestartDialog);
            } else {
                ASSERT_EQ(nullptr, g_logger);
                run = rt::RunPrompt(c.press, RestartDialog);
            }
            ASSERT_TRUE(run.view.found) << "the prompt never appeared";
            EXPECT_TRUE(run.endedByPress);
            EXPECT_EQ(0, run.result);
            // The texts are set the same way whether or not there is a log.
            EXPECT_EQ("Install Completed", qt::ToUtf8(run.view.caption));
            EXPECT_EQ(c.reboots, rt::g_exitCalls.count);
            if (c.reboots > 0) {
                EXPECT_EQ(6u, rt::g_exitCalls.flags);
                EXPECT_EQ(0x80040001u, rt::g_exitCalls.reason);
                // The reboot is asked for from inside the procedure: EndDialog has only
                // marked (and hidden) the prompt, which still exists.
                EXPECT_TRUE(rt::g_exitCalls.promptAlive);
            }
            if (withLogger) {
                std::vector<std::string> restart = rt::TaggedLines("Quorlen::RestartMachine");
                EXPECT_EQ(c.reboots * 2, static_cast<int>(restart.size()));
                for (const std::string& line : qt::RecordLines())
                    EXPECT_EQ(0u, line.rfind("Main Trace|", 0)) << line;
            } else {
                EXPECT_FALSE(qt::FileExists(qt::LogFilePath()));
            }
        }
    }
}

TEST_F(RestartPromptTest, EveryMessageAddsOneEnteringAndOneExitingRecord) {
    for (rt::Press press : {rt::Press::RestartLater, rt::Press::RestartNow}) {
        SCOPED_TRACE(press == rt::Press::RestartNow ? "Restart Now" : "Restart Later");
        qt::ResetLogFiles();
        qt::WriteLogConfig(15);
        g_procCalls = 0;
        rt::PromptRun run;
        {
            qt::ScopedProgramLogger logger;
            run = rt::RunPrompt(press, CountingProc);
        }
        ASSERT_TRUE(run.view.found);
        // Far more than the two messages the procedure acts on reach it.
        EXPECT_GT(g_procCalls, 5);
        std::vector<std::string> lines = rt::TaggedLines("Quorlen::RestartDialog");
        EXPECT_EQ(2 * g_procCalls, static_cast<int>(lines.size()));
        // Messages sent while the procedure runs nest their pairs inside its own.
        int depth = 0;
        for (const std::string& line : lines) {
            if (line == kDialogEntering) {
                ++depth;
            } else {
                ASSERT_EQ(kDialogExiting, line);
                ASSERT_GT(depth, 0) << "an exiting record without its entering one";
                --depth;
            }
        }
        EXPECT_EQ(0, depth);
    }
}

}  // namespace
