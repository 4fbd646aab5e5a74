// The forced reboot: the version gate, the two platform families, the shutdown
// privilege of the real process token, and the records of every path. The reboot call
// itself is a stand-in, which also notes whether the privilege was enabled by then.
#include <gtest/gtest.h>

#include "base/Platform.h"
#include "base/Seam.h"
#include "log/Logger.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/RestartSupport.h"
#include "ui/Restart.h"

namespace {

const char kEntering[] = "Main Trace|Quorlen::RestartMachine - Entering";
const char kExiting[] = "Main Trace|Quorlen::RestartMachine - Exiting";

BOOL WINAPI VersionFails(LPOSVERSIONINFOA) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

BOOL WINAPI Windows98(LPOSVERSIONINFOA info) {
    if (info->dwOSVersionInfoSize != sizeof(OSVERSIONINFOA)) return FALSE;
    info->dwMajorVersion = 4;
    info->dwMinorVersion = 10;
    info->dwBuildNumber = 2222;
    info->dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
    return TRUE;
}

class RestartMachineTest : public rt::RebootStandInTest {
protected:
    void SetUp() override {
        rt::RebootStandInTest::SetUp();
        // Start every case with the privilege off, so that turning it on is observable.
        ASSERT_TRUE(rt::SetShutdownPrivilege(false));
    }
};

TEST_F(RestartMachineTest, EachPathRequestsTheRebootOnlyWhenItShouldAndLogsOnce) {
    struct Case {
        const char* name;
        GetVersionExFn version;  // null: the real one (Wine reports the NT family)
        BOOL exitResult;
        int exitCalls;
        bool privilegeAtCall;
        std::vector<std::string> lines;
    };
    const Case cases[] = {
        {"version cannot be read", VersionFails, TRUE, 0, false,
         {kEntering, "Error|GetVersionEx failed in RestartMachine", kExiting}},
        {"95/98/Me family, reboot accepted", Windows98, TRUE, 1, false, {kEntering, kExiting}},
        {"95/98/Me family, reboot refused", Windows98, FALSE, 1, false,
         {kEntering, "Error|ExitWindowsEx failed ", kExiting}},
        {"NT family, reboot accepted", nullptr, TRUE, 1, true, {kEntering, kExiting}},
        {"NT family, reboot refused", nullptr, FALSE, 1, true,
         {kEntering, "Error|ExitWindowsEx failed ", kExiting}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        qt::ResetLogFiles();
        qt::WriteLogConfig(15);
        ASSERT_TRUE(rt::SetShutdownPrivilege(false));
        rt::g_exitCalls = rt::ExitCalls();
        rt::g_exitResult = c.exitResult;
        {
            ScopedSeam<GetVersionExFn> versionSeam(g_getVersionEx,
                                                   c.version ? c.version : g_getVersionEx);
            qt::ScopedProgramLogger logger;
            RestartMachine();
        }
        EXPECT_EQ(c.exitCalls, rt::g_exitCalls.count);
        if (c.exitCalls > 0) {
            EXPECT_EQ(6u, rt::g_exitCalls.flags);  // EWX_REBOOT | EWX_FORCE
            EXPECT_EQ(0x80040001u, rt::g_exitCalls.reason);
            // Only the NT path opens the token and enables the privilege before asking.
            EXPECT_EQ(c.privilegeAtCall, rt::g_exitCalls.privilegeEnabled);
        }
        EXPECT_EQ(c.lines, qt::RecordLines());
    }
}

TEST_F(RestartMachineTest, WithoutLoggerRebootsTheSameAndWritesNothing) {
    ASSERT_EQ(nullptr, g_logger);
    RestartMachine();
    EXPECT_EQ(1, rt::g_exitCalls.count);
    EXPECT_EQ(6u, rt::g_exitCalls.flags);
    EXPECT_EQ(0x80040001u, rt::g_exitCalls.reason);
    EXPECT_TRUE(rt::g_exitCalls.privilegeEnabled);
    EXPECT_FALSE(qt::FileExists(qt::LogFilePath()));
}

// The handle table hands out the lowest free slot, so a probe handle taken before and
// after the calls lands in the same slot unless a call left a handle open.
HANDLE ProbeHandle() {
    HANDLE probe = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    CloseHandle(probe);
    return probe;
}

TEST_F(RestartMachineTest, ClosesTheTokenOnEveryPath) {
    qt::ScopedProgramLogger logger;
    RestartMachine();  // settles whatever the first call allocates once
    HANDLE before = ProbeHandle();
    ASSERT_NE(nullptr, before);
    for (BOOL result : {TRUE, FALSE}) {
        rt::g_exitResult = result;
        for (int i = 0; i < 20; ++i) RestartMachine();
    }
    EXPECT_EQ(before, ProbeHandle());
    EXPECT_EQ(41, rt::g_exitCalls.count);
}

}  // namespace
