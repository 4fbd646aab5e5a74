// Staging the payload in the temp folder and removing it again, with real files.
#include "tests/deploy/DeployFixture.h"

#include "base/Handles.h"

namespace {

const char kExtractEntering[] = "Main Trace|Quorlen::ExtractTXT - Entering";
const char kExtractExiting[] = "Main Trace|Quorlen::ExtractTXT - Exiting";
const char kDeleteEntering[] = "Main Trace|Quorlen::DeleteFilesFromTemp - Entering";
const char kDeleteExiting[] = "Main Trace|Quorlen::DeleteFilesFromTemp - Exiting";

using Lines = std::vector<std::string>;

TEST_F(DeployTest, ExtractWritesThePayloadByteForByte) {
    const std::string expected = qt::ExpectedRegionList();
    ASSERT_EQ(1962u, expected.size());
    // Another user's file that a hard link under the staged name points to: the write
    // must not follow the link.
    const std::string victim = "C:\\QuorlenTest\\someone-elses.txt";
    const struct {
        const char* name;
        std::string stale;
        bool link;
    } cases[] = {
        {"no staged file yet", "", false},
        {"a longer stale file", std::string(5000, 'x'), false},
        {"a shorter stale file", "vraxon.option.old\r\n", false},
        {"a hard link to another file", "vraxon.option.theirs\r\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        qt::RemoveFile(Staged());
        if (c.link) {
            ASSERT_TRUE(qt::WriteFileBytes(victim, c.stale));
            ASSERT_TRUE(CreateHardLinkA(Staged().c_str(), victim.c_str(), nullptr))
                << qt::Win32ErrorText(GetLastError());
        } else if (!c.stale.empty()) {
            ASSERT_TRUE(qt::WriteFileBytes(Staged(), c.stale));
        }
        StartLog();
        EXPECT_EQ(1, ExtractTXT());
        EXPECT_EQ((Lines{kExtractEntering, kExtractExiting}), StopLog());
        std::string staged = qt::ReadFileBytes(Staged());
        EXPECT_EQ(1962u, staged.size());
        EXPECT_EQ(qt::Md5Hex(expected), qt::Md5Hex(staged));
        EXPECT_EQ(expected, staged);
        if (c.link) {
            EXPECT_EQ(c.stale, qt::ReadFileBytes(victim));
        }
    }
}

TEST_F(DeployTest, ExtractFailsWhenTheStaleFileCannotBeReplaced) {
    // A read-only stale file would be the natural case, but the bench runs Wine as root,
    // which writes over read-only files: these two refuse creation for real.
    const char* const cases[] = {"stale file held open without sharing",
                                 "a folder of the same name"};
    for (const char* name : cases) {
        SCOPED_TRACE(name);
        qt::RemoveTree(Staged());
        ScopedHandle holder;
        if (name == cases[0]) {
            ASSERT_TRUE(qt::WriteFileBytes(Staged(), kOldList));
            holder = ScopedHandle(CreateFileA(Staged().c_str(), GENERIC_READ, 0, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(holder.IsValid()) << qt::Win32ErrorText(GetLastError());
        } else {
            ASSERT_TRUE(qt::CreateFolders(Staged()));
        }
        StartLog();
        EXPECT_EQ(0, ExtractTXT());
        EXPECT_EQ((Lines{kExtractEntering,
                         "Error|Quorlen::ExtractTXT Invalid File Handle Value While Creating "
                         "File  ",
                         kExtractExiting}),
                  StopLog());
        holder.Close();
        if (name == cases[0]) {
            EXPECT_EQ(kOldList, qt::ReadFileBytes(Staged()));
        }
    }
    qt::RemoveTree(Staged());
}

TEST_F(DeployTest, ExtractNeedsRoomForTheFileName) {
    // A separator and the 16 characters of the name must fit MAX_PATH with the folder.
    const std::string fits = "C:\\" + std::string(239, 'f') + "\\";  // 243 + 16 = 259
    const std::string tooLong = "C:\\" + std::string(240, 'f') + "\\";
    const struct {
        const char* name;
        std::string folder;
        const char* record;
    } cases[] = {
        {"just fits (the folder does not exist)", fits,
         "Error|Quorlen::ExtractTXT Invalid File Handle Value While Creating File  "},
        {"one character over MAX_PATH", tooLong, "Main Trace|Quorlen::ExtractTXT PathAppend Failed"},
        {"near the buffer size", "C:\\" + std::string(1015, 'f') + "\\",
         "Main Trace|Quorlen::ExtractTXT PathAppend Failed"},
        {"no terminator", std::string(1024, 'f'), "Main Trace|Quorlen::ExtractTXT PathAppend Failed"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetTempFolder(c.folder);
        StartLog();
        EXPECT_EQ(0, ExtractTXT());
        EXPECT_EQ((Lines{kExtractEntering, c.record, kExtractExiting}), StopLog());
    }
}

TEST_F(DeployTest, DeleteRemovesTheStagedFileAndReportsFailures) {
    // A file whose own name is as long as a folder that leaves no room for the list's.
    const std::string longFile = "C:\\QuorlenTest\\" + std::string(235, 'g');
    ASSERT_TRUE(qt::WriteFileBytes(longFile, "not the list"));
    const std::string percent = std::string(kPercentFolder) + "\\";
    ASSERT_TRUE(qt::CreateFolders(kPercentFolder));
    const struct {
        const char* name;
        std::string folder;
        bool present;
        std::string error;  // empty: deleted
    } cases[] = {
        {"staged file present", tempFolder_, true, ""},
        {"folder without a trailing separator", tempFolder_.substr(0, tempFolder_.size() - 1),
         true, ""},
        {"staged file missing", tempFolder_, false,
         "Error|Failed to Delete file " + Staged() + ". Error 2 "},
        {"percent signs in the folder", percent, false,
         "Error|Failed to Delete file " + percent + "vexo_regions.txt. Error 2 "},
        {"no room for the name", longFile, false,
         "Error|Failed to Delete file " + longFile + "\\vexo_regions.txt. Error 206 "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.present) {
            ASSERT_TRUE(qt::WriteFileBytes(Staged(), kOldList));
        }
        StartLog();
        int result = DeleteFilesFromTemp(c.folder.c_str());
        Lines records = StopLog();
        if (c.error.empty()) {
            EXPECT_NE(0, result);
            EXPECT_EQ((Lines{kDeleteEntering, kDeleteExiting}), records);
        } else {
            EXPECT_EQ(0, result);
            EXPECT_EQ((Lines{kDeleteEntering, c.error, kDeleteExiting}), records);
        }
        EXPECT_FALSE(qt::FileExists(Staged()));
    }
    EXPECT_EQ("not the list", qt::ReadFileBytes(longFile));
}

}  // namespace
