// The install location lookup against the prefix's real registry: missing key and
// value, value types, the buffer's boundary and the records of every outcome.
#include <gtest/gtest.h>

#include <windows.h>

#include <string.h>

#include <string>
#include <vector>

#include "log/Logger.h"
#include "run/InstallLocation.h"
#include "tests/support/TestSupport.h"

namespace {

const char kEntering[] = "Main Trace|Quorlen::GetInstalledPath - Entering";
const char kExiting[] = "Main Trace|Quorlen::GetInstalledPath - Exiting";
const char kOpenFailed[] = "Error|Quorlen::GetInstalledPathRegOpenKeyEx Failed for Olvane_REG_INSTALL_KEY";
const char kQueryFailed[] = "Error|Quorlen::GetInstalledPathFailed to Query the Olvane_REG_VALUE_INSTALLDIR";
const char kQueried[] = "Error|Quorlen::GetInstalledPathQueried  the Insatlldir value successfully ";

// A PathBuffer that ends exactly where an inaccessible page begins: reading even one
// byte past it faults, so a walk beyond the buffer cannot pass unnoticed.
class GuardedBuffer {
public:
    GuardedBuffer() {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        page_ = info.dwPageSize;
        base_ = static_cast<char*>(
            VirtualAlloc(nullptr, 2 * page_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old = 0;
        if (base_) VirtualProtect(base_ + page_, page_, PAGE_NOACCESS, &old);
    }
    ~GuardedBuffer() {
        if (base_) VirtualFree(base_, 0, MEM_RELEASE);
    }
    bool Ok() const { return base_ != nullptr; }
    PathBuffer& Get() { return *reinterpret_cast<PathBuffer*>(base_ + page_ - kPathSize); }

private:
    char* base_ = nullptr;
    DWORD page_ = 0;
};

class InstallLocationTest : public ::testing::Test {
protected:
    void SetUp() override {
        qt::DeleteInstallKey();
        qt::ResetLogFiles();
        qt::WriteLogConfig(15);
    }
    void TearDown() override {
        qt::DeleteInstallKey();
        qt::ResetLogFiles();
    }

    // Runs the lookup with the program's logger into a guarded buffer filled with 'Z',
    // so that a missing terminator shows.
    int Lookup(std::string* text) {
        EXPECT_TRUE(guard_.Ok());
        PathBuffer& buffer = guard_.Get();
        memset(buffer, 'Z', sizeof buffer);
        int result;
        {
            qt::ScopedProgramLogger logger;
            result = GetInstalledPath(buffer);
        }
        const void* end = memchr(buffer, '\0', sizeof buffer);
        EXPECT_NE(nullptr, end) << "buffer left unterminated";
        *text = end ? std::string(buffer) : std::string();
        return result;
    }

    GuardedBuffer guard_;
};

std::vector<std::string> Records(const char* outcome) { return {kEntering, outcome, kExiting}; }

TEST_F(InstallLocationTest, MissingKeyOrValueFailsWithItsRecord) {
    std::string text;
    {
        SCOPED_TRACE("no key");
        EXPECT_EQ(0, Lookup(&text));
        EXPECT_EQ(Records(kOpenFailed), qt::RecordLines());
    }
    {
        SCOPED_TRACE("key without the value");
        qt::ResetLogFiles();
        qt::WriteLogConfig(15);
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, qt::kInstallKey, 0, nullptr,
                                                 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
        RegSetValueExA(key, "Other", 0, REG_SZ, reinterpret_cast<const BYTE*>("x"), 2);
        RegCloseKey(key);
        EXPECT_EQ(0, Lookup(&text));
        EXPECT_EQ(Records(kQueryFailed), qt::RecordLines());
    }
}

TEST_F(InstallLocationTest, ReadsValueOfAnyTypeTerminated) {
    struct Case {
        const char* name;
        DWORD type;
        std::string bytes;
        std::string expected;
    };
    const std::string nearlyFull(1023, 'q');
    const Case cases[] = {
        {"string", REG_SZ, std::string("Suite,C:\\Program Files\\Lumenfold\0", 33),
         "Suite,C:\\Program Files\\Lumenfold"},
        {"number, read as its 4 bytes", REG_DWORD, std::string("abcd", 4), "abcd"},
        {"string stored without its terminator", REG_SZ, "x,C:\\NoNul", "x,C:\\NoNul"},
        {"1023 characters and the terminator", REG_SZ, nearlyFull + std::string(1, '\0'),
         nearlyFull},
        {"1023 bytes, no terminator: the last byte takes it", REG_BINARY, nearlyFull,
         nearlyFull},
        {"expandable string", REG_EXPAND_SZ, std::string("%SystemDrive%\\S\0", 16),
         "%SystemDrive%\\S"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        qt::ResetLogFiles();
        qt::WriteLogConfig(15);
        ASSERT_TRUE(qt::SetInstallValue(c.type, c.bytes.data(), static_cast<DWORD>(c.bytes.size())));
        std::string text;
        EXPECT_EQ(1, Lookup(&text));
        EXPECT_EQ(c.expected, text);
        EXPECT_EQ(Records(kQueried), qt::RecordLines());
    }
}

TEST_F(InstallLocationTest, ValueWithoutRoomForTerminatorFails) {
    struct Case {
        const char* name;
        DWORD type;
        std::string bytes;
    };
    const Case cases[] = {
        {"1024 characters and the terminator", REG_SZ,
         std::string(1024, 'q') + std::string(1, '\0')},
        {"1024 bytes without a NUL", REG_BINARY, std::string(1024, 'q')},
        {"1024 characters stored without terminator", REG_SZ, std::string(1024, 'q')},
        {"far longer than the buffer", REG_BINARY, std::string(5000, 'q')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        qt::ResetLogFiles();
        qt::WriteLogConfig(15);
        ASSERT_TRUE(qt::SetInstallValue(c.type, c.bytes.data(), static_cast<DWORD>(c.bytes.size())));
        std::string text;
        EXPECT_EQ(0, Lookup(&text));
        EXPECT_EQ(Records(kQueryFailed), qt::RecordLines());
    }
}

TEST_F(InstallLocationTest, WritesNothingWithoutLoggerAndOnlyOutcomeAtErrorMask) {
    ASSERT_TRUE(qt::SetInstallDir("a,C:\\Suite"));
    PathBuffer buffer;
    {
        SCOPED_TRACE("no logger");
        ASSERT_EQ(nullptr, g_logger);
        EXPECT_EQ(1, GetInstalledPath(buffer));
        EXPECT_STREQ("a,C:\\Suite", buffer);
        EXPECT_FALSE(qt::FileExists(qt::LogFilePath()));
    }
    {
        SCOPED_TRACE("mask 1: the success line is an Error record");
        qt::WriteLogConfig(1);
        {
            qt::ScopedProgramLogger logger;
            EXPECT_EQ(1, GetInstalledPath(buffer));
        }
        EXPECT_EQ(std::vector<std::string>{kQueried}, qt::RecordLines());
    }
}

}  // namespace
