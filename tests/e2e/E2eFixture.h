// A prefix with the maker's suite installed the way the field has it, reset around
// every scenario: registry value, installed list and its date, log files, temp folder.
#ifndef QUORLEN_TESTS_E2E_E2EFIXTURE_H
#define QUORLEN_TESTS_E2E_E2EFIXTURE_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/MessagesSupport.h"
#include "tests/support/RunSupport.h"
#include "tests/support/TestSupport.h"

namespace e2e {

constexpr const char kSuite[] = "C:\\QuorlenSuite";
constexpr const char kData[] = "C:\\QuorlenSuite\\Data";
constexpr const char kTarget[] = "C:\\QuorlenSuite\\Data\\vexo_regions.txt";
// The copy that waits beside the list for a restart, and where it once went: the drive
// root, which the updater must never write.
constexpr const char kWaitingCopy[] = "C:\\QuorlenSuite\\Data\\vexo_regions.txt.new";
constexpr const char kDriveRootCopy[] = "C:\\vexo_regions.txt";
// The superseded list, kept beside the new one for an undo.
constexpr const char kKeptList[] = "C:\\QuorlenSuite\\Data\\vexo_regions.txt.old";
// An older list, as the superseded installation carries it.
constexpr const char kOldList[] = "vraxon.option.africa\r\nvraxon.option.us\r\n";

const std::wstring kTextNotSupported =
    L"This update does not support any of the Olvane device\n drivers that you have on your "
    L"PC. You do not need this software update.";
const std::wstring kTextCompleted = L"Install Completed";
const std::wstring kTextFailed =
    L"The update could not be completed. Log on as an administrator, close all programs, and "
    L"run this update again.";

const std::string kRecordQueried = "Error|Quorlen::GetInstalledPathQueried  the Insatlldir value successfully ";
const std::string kRecordNotApplicable =
    "Error| Quorlen:: Filereplace function Failed  OR As Version is Higher or Equal To the File "
    "being updated";

class UpdaterScenario : public ::testing::Test {
protected:
    void SetUp() override { Clean(); qt::SetUpdaterWindowsVersion("winxp"); }
    void TearDown() override { Clean(); qt::SetUpdaterWindowsVersion(""); }

    static void Clean() {
        qt::ResetLogFiles();
        qt::DeleteInstallKey();
        qt::ClearPendingRenames();
        qt::RemoveFile(kTarget);
        qt::RemoveFile(kWaitingCopy);
        qt::RemoveFile(kKeptList);
        RemoveDirectoryA(kWaitingCopy);
        RemoveDirectoryA(kData);
        RemoveDirectoryA(kSuite);
        qt::RemoveFile(kDriveRootCopy);
        qt::RemoveFile(StagedPath());
    }

    static std::string StagedPath() { return qt::TempDir() + "\\vexo_regions.txt"; }

    // The suite as installed: registry value, Data folder, the old list with its date.
    static void InstallSuite(const std::string& installdir = std::string("x,") + kSuite,
                             int year = 2004, int month = 12, int day = 3, int hour = 12,
                             int minute = 0, int second = 0) {
        ASSERT_TRUE(qt::SetInstallDir(installdir));
        CreateDirectoryA(kSuite, nullptr);
        CreateDirectoryA(kData, nullptr);
        ASSERT_TRUE(qt::WriteFileBytes(kTarget, kOldList));
        ASSERT_TRUE(qt::SetLastWriteUtc(kTarget, year, month, day, hour, minute, second));
    }

    static std::string Installed() { return qt::ReadFileBytes(kTarget); }

    // A run that leaves the installation untouched and says so.
    static void ExpectNotApplicable(const qt::UpdaterRun& run) {
        EXPECT_TRUE(run.process.finished);
        EXPECT_EQ(0u, run.process.exitCode);
        EXPECT_EQ(std::vector<std::wstring>{kTextNotSupported}, run.boxes);
        EXPECT_FALSE(qt::FileExists(StagedPath()));
        EXPECT_FALSE(qt::FileExists(kWaitingCopy));
        EXPECT_FALSE(qt::FileExists(kDriveRootCopy));
        EXPECT_TRUE(qt::PendingRenames().empty());
    }
};

}  // namespace e2e

#endif
