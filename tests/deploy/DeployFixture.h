// The fixture of the deployment tests: a temp folder of its own as the program-wide
// temp folder, an install data folder under C:\, and a clean log, drive root and list
// of pending renames before and after each test.
#ifndef QUORLEN_TESTS_DEPLOY_DEPLOYFIXTURE_H
#define QUORLEN_TESTS_DEPLOY_DEPLOYFIXTURE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string.h>
#include <string>
#include <vector>

#include "deploy/Deploy.h"
#include "tests/support/DeploySupport.h"
#include "tests/support/TestSupport.h"

constexpr const char kDataFolder[] = "C:\\QuorlenTest\\Data";
constexpr const char kTarget[] = "C:\\QuorlenTest\\Data\\vexo_regions.txt";
constexpr const char kPercentFolder[] = "C:\\Quorlen%sTest%d\\Data";
constexpr const char kWaiting[] = "C:\\QuorlenTest\\Data\\vexo_regions.txt.new";
// The list that a replacement supersedes, kept beside it for an undo.
constexpr const char kKept[] = "C:\\QuorlenTest\\Data\\vexo_regions.txt.old";
// Where the copy for the restart once went: nothing may ever be written there.
constexpr const char kRootCopy[] = "C:\\vexo_regions.txt";
constexpr const char kOldList[] = "vraxon.option.oldlist\r\n";

class DeployTest : public ::testing::Test {
protected:
    void SetUp() override {
        tempFolder_ = qt::TempDir() + "\\QuorlenDeployTest\\";
        Clean();
        ASSERT_TRUE(qt::CreateFolders(tempFolder_.substr(0, tempFolder_.size() - 1)));
        ASSERT_TRUE(qt::CreateFolders(kDataFolder));
        SetTempFolder(tempFolder_);
    }

    void TearDown() override {
        logger_.reset();
        Clean();
        memset(g_tempFolder, 0, sizeof g_tempFolder);
    }

    void Clean() {
        logger_.reset();
        qt::ResetLogFiles();
        qt::ClearPendingRenames();
        EXPECT_TRUE(qt::RemoveTree(tempFolder_.substr(0, tempFolder_.size() - 1)));
        EXPECT_TRUE(qt::RemoveTree("C:\\QuorlenTest"));
        EXPECT_TRUE(qt::RemoveTree("C:\\Quorlen%sTest%d"));
        EXPECT_TRUE(qt::RemoveTree(kRootCopy));
    }

    // Fills the program-wide temp folder as GetTempPathA would, or with text that has
    // no terminator at all when it is 1024 characters or longer.
    static void SetTempFolder(const std::string& folder) {
        memset(g_tempFolder, 0, sizeof g_tempFolder);
        memcpy(g_tempFolder, folder.data(), std::min(folder.size(), sizeof g_tempFolder));
    }

    // A data folder buffer as the run hands it over.
    static void SetFolder(PathBuffer& buffer, const std::string& folder) {
        memset(buffer, 0, sizeof buffer);
        memcpy(buffer, folder.data(), std::min(folder.size(), sizeof buffer));
    }

    // Starts the program's logger with the given mask; the log starts empty.
    void StartLog(int mask = 15) {
        logger_.reset();
        qt::ResetLogFiles();
        qt::WriteLogConfig(mask);
        logger_ = std::make_unique<qt::ScopedProgramLogger>();
    }

    std::vector<std::string> StopLog() {
        logger_.reset();
        return qt::RecordLines();
    }

    // Stages the payload, without logging, as the run does before a replacement.
    void Stage() { ASSERT_EQ(1, ExtractTXT()); }

    // Installs an old list in folder, last written at the given UTC time.
    static void InstallOldList(const std::string& folder, int year = 2004, int month = 12,
                               int day = 3, int hour = 12, int minute = 0, int second = 0) {
        ASSERT_TRUE(qt::CreateFolders(folder));
        std::string target = folder + "\\vexo_regions.txt";
        qt::RemoveFile(target);
        ASSERT_TRUE(qt::WriteFileBytes(target, kOldList));
        ASSERT_TRUE(qt::SetLastWriteUtc(target, year, month, day, hour, minute, second));
    }

    std::string Staged() const { return tempFolder_ + "vexo_regions.txt"; }

    std::string tempFolder_;
    std::unique_ptr<qt::ScopedProgramLogger> logger_;
};

#endif
