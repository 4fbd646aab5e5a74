// The log configuration file: seeding, signatures, masks and the size limit, through
// the real profile functions on the prefix's Windows directory.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "log/LogConfig.h"
#include "log/Logger.h"
#include "tests/support/TestSupport.h"

namespace {

const char kModule[] = "Olvane_Quorlenlog_Zindra";
const char kSeeded[] =
    "[Signature]\r\nPROJECT=Kestrin\r\nMANUFACTURER=Olvane\r\n"
    "[Modules]\r\nOlvane_Quorlenlog_Zindra=1\r\nDEFAULT=1\r\n"
    "[LogLevels]\r\nLOG_DISABLED=0\r\nLOG_ERROR=1\r\nLOG_WARNING=2\r\n"
    "LOG_MAINTRACE=4\r\nLOG_DETAILEDTRACE=8\r\n"
    "[LogFileSize]\r\nFILESIZE=524288\r\n";

// The lines of one section as the platform reads them back.
std::vector<std::string> SectionLines(const char* section) {
    std::vector<char> block(32768);
    DWORD n = GetPrivateProfileSectionA(section, block.data(), static_cast<DWORD>(block.size()),
                                        kLogConfigFile);
    std::vector<std::string> lines;
    for (DWORD at = 0; at < n;) {
        std::string line(block.data() + at);
        lines.push_back(line);
        at += static_cast<DWORD>(line.size()) + 1;
    }
    return lines;
}

// One record of every level, in the order Error, Warning, Main Trace, Detailed Trace.
void LogEveryLevel(Logger& logger) {
    logger.LogError("%s", "e");
    logger.LogWarning("%s", "w");
    logger.LogMainTrace("%s", "m");
    logger.LogDetailedTrace("%s", "d");
}

class LogConfigTest : public ::testing::Test {
protected:
    void SetUp() override { qt::ResetLogFiles(); }
    void TearDown() override { qt::ResetLogFiles(); }
};

TEST_F(LogConfigTest, SeedsMissingFileWithFourSectionsByteForByte) {
    ASSERT_EQ(1, CheckLogConfig());
    EXPECT_EQ(std::string(kSeeded), qt::ReadFileBytes(qt::LogConfigPath()));

    // A logger on a machine without the file seeds it and reads the defaults.
    qt::ResetLogFiles();
    Logger logger(kModule, "PatchUpdate");
    EXPECT_EQ(std::string(kSeeded), qt::ReadFileBytes(qt::LogConfigPath()));
    EXPECT_EQ(1, logger.LevelMask());
    EXPECT_EQ(524288, logger.MaxFileSize());
    EXPECT_EQ(1, logger.Enabled());
    EXPECT_TRUE(logger.HasStream());
}

TEST_F(LogConfigTest, AcceptsBothSignaturesAndLeavesFileUntouched) {
    // Odd neighbours that a rewrite would normalise: comments, blanks around '=', a
    // duplicate key, a section the program does not know, no line end at the end.
    const std::string odd =
        "; kept as is\r\n\r\n[Zeta]\r\n a = b \r\nnoequals\r\n"
        "[Signature]\r\nPROJECT=%SIG%\r\n"
        "[Modules]\r\nOlvane_Quorlenlog_Zindra=5\r\nOlvane_Quorlenlog_Zindra=7\r\nDEFAULT=99\r\n"
        "[LogLevels]\r\nLOG_ERROR=42\r\n"
        "[LogFileSize]\r\nFILESIZE=1000\r\nEXTRA=x";
    for (const char* signature : {"Kestrin", "Olvane"}) {
        for (const std::string& layout : {std::string(kSeeded), odd}) {
            SCOPED_TRACE(std::string(signature) + " in " + (layout == odd ? "odd file" : "seeded file"));
            std::string bytes = layout;
            size_t at = bytes.find("%SIG%");
            if (at != std::string::npos) bytes.replace(at, 5, signature);
            else bytes.replace(bytes.find("Kestrin"), 7, signature);
            ASSERT_TRUE(qt::WriteFileBytes(qt::LogConfigPath(), bytes));

            EXPECT_EQ(1, CheckLogConfig());
            EXPECT_EQ(bytes, qt::ReadFileBytes(qt::LogConfigPath()));

            Logger logger(kModule, "PatchUpdate");
            EXPECT_EQ(bytes, qt::ReadFileBytes(qt::LogConfigPath()));
            if (layout == odd) {
                // The first of two keys counts; FILESIZE is taken as it stands.
                EXPECT_EQ(5, logger.LevelMask());
                EXPECT_EQ(1000, logger.MaxFileSize());
            }
        }
    }
}

TEST_F(LogConfigTest, ReseedsInvalidSignatureAndKeepsOtherSections) {
    struct Case {
        const char* name;
        const char* signatureSection;
    };
    const Case cases[] = {
        {"lower case", "[Signature]\r\nPROJECT=kestrin\r\nMANUFACTURER=Someone\r\nEXTRA=1\r\n"},
        {"upper case", "[Signature]\r\nPROJECT=OLVANE\r\n"},
        {"trailing text", "[Signature]\r\nPROJECT=Kestrin2\r\n"},
        {"empty value", "[Signature]\r\nPROJECT=\r\n"},
        {"no key", "[Signature]\r\nMANUFACTURER=Olvane\r\n"},
        {"no section", ""},
        {"the default text", "[Signature]\r\nPROJECT=MANUFACTURER\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string bytes = std::string("[Other]\r\nkey=val\r\n") + c.signatureSection +
                            "[Modules]\r\nOlvane_Quorlenlog_Zindra=15\r\nOtherModule=7\r\n"
                            "[LogLevels]\r\nLOG_CUSTOM=16\r\n"
                            "[LogFileSize]\r\nFILESIZE=10\r\nSPARE=3\r\n"
                            "[Last]\r\nx=1\r\n";
        ASSERT_TRUE(qt::WriteFileBytes(qt::LogConfigPath(), bytes));

        ASSERT_EQ(1, CheckLogConfig());

        using Lines = std::vector<std::string>;
        EXPECT_EQ((Lines{"PROJECT=Kestrin", "MANUFACTURER=Olvane"}), SectionLines("Signature"));
        EXPECT_EQ((Lines{"Olvane_Quorlenlog_Zindra=1", "DEFAULT=1"}), SectionLines("Modules"));
        EXPECT_EQ((Lines{"LOG_DISABLED=0", "LOG_ERROR=1", "LOG_WARNING=2", "LOG_MAINTRACE=4",
                         "LOG_DETAILEDTRACE=8"}),
                  SectionLines("LogLevels"));
        EXPECT_EQ((Lines{"FILESIZE=524288"}), SectionLines("LogFileSize"));
        EXPECT_EQ((Lines{"key=val"}), SectionLines("Other"));
        EXPECT_EQ((Lines{"x=1"}), SectionLines("Last"));

        // What the file holds, not only what the platform's cache says.
        std::string after = qt::ReadFileBytes(qt::LogConfigPath());
        EXPECT_NE(std::string::npos, after.find("[Other]\r\nkey=val\r\n"));
        EXPECT_NE(std::string::npos, after.find("[Last]\r\nx=1\r\n"));
        EXPECT_EQ(std::string::npos, after.find("OtherModule"));
        EXPECT_EQ(std::string::npos, after.find("SPARE"));
        EXPECT_EQ(std::string::npos, after.find("LOG_CUSTOM"));

        {
            // The reset mask and size are what a logger then reads.
            Logger logger(kModule, "PatchUpdate");
            EXPECT_EQ(1, logger.LevelMask());
            EXPECT_EQ(524288, logger.MaxFileSize());
        }
        ASSERT_TRUE(qt::RemoveFile(qt::LogConfigPath()));
        ASSERT_TRUE(qt::RemoveFile(qt::LogFilePath()));
    }
}

TEST_F(LogConfigTest, SeedingFailureLeavesLoggerDisabled) {
    // A folder where the file should be: the platform cannot write the sections.
    ASSERT_TRUE(CreateDirectoryA(qt::LogConfigPath().c_str(), nullptr));
    struct FolderGone {
        ~FolderGone() { RemoveDirectoryA(qt::LogConfigPath().c_str()); }
    } cleanup;

    EXPECT_EQ(0, CheckLogConfig());

    Logger logger(kModule, "PatchUpdate");
    EXPECT_EQ(0, logger.Enabled());
    EXPECT_FALSE(logger.HasStream());
    EXPECT_STREQ("", logger.LogPath());
    LogEveryLevel(logger);
    EXPECT_FALSE(qt::FileExists(qt::LogFilePath()));
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY),
              GetFileAttributesA(qt::LogConfigPath().c_str()) & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(LogConfigTest, MaskSelectsLevelsAndWhetherTheFileIsOpened) {
    using Lines = std::vector<std::string>;
    struct Case {
        const char* value;  // nullptr: the module has no key
        int readResult;
        int mask;
        bool fileCreated;
        Lines records;
    };
    const Case cases[] = {
        {"0", 0, 0, false, {}},
        {nullptr, 0, 0, false, {}},
        {"DEFAULT", 0, 0, false, {}},
        {"abc", 0, 0, false, {}},
        {"1", 1, 1, true, {"Error|e"}},
        {"5", 5, 5, true, {"Error|e", "Main Trace|m"}},
        {"15", 15, 15, true, {"Error|e", "Warning|w", "Main Trace|m", "Detailed Trace|d"}},
        {"8", 8, 8, true, {"Detailed Trace|d"}},
        {" 7x", 7, 7, true, {"Error|e", "Warning|w", "Main Trace|m"}},
        {"16", 16, 16, true, {}},
        {"17", 17, 17, true, {}},
        {"-1", -1, -1, true, {}},
        {"-16", -16, -16, true, {}},
        // No text at all: the result is -1 and the mask keeps 0, but the file is opened.
        {"", -1, 0, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("mask value ") + (c.value ? "\"" + std::string(c.value) + "\"" : "missing"));
        if (c.value) {
            qt::WriteLogConfig(c.value);
        } else {
            ASSERT_TRUE(qt::WriteFileBytes(qt::LogConfigPath(),
                                           "[Signature]\r\nPROJECT=Kestrin\r\n"
                                           "[Modules]\r\nDEFAULT=15\r\nOther=15\r\n"
                                           "[LogFileSize]\r\nFILESIZE=524288\r\n"));
        }
        {
            Logger logger(kModule, "PatchUpdate");
            EXPECT_EQ(c.mask, logger.LevelMask());
            EXPECT_EQ(c.fileCreated, logger.HasStream());
            EXPECT_EQ(1, logger.Enabled());
            LogEveryLevel(logger);
            EXPECT_EQ(c.readResult, logger.ReadLogConfig());
            EXPECT_EQ(c.mask, logger.LevelMask());
            if (!c.fileCreated) {
                // Muted: a record that reached the writer finds no stream and stops it.
                EXPECT_EQ(1, logger.WriteRecord("Error", "direct"));
                EXPECT_EQ(0, logger.Enabled());
            }
        }
        EXPECT_EQ(c.fileCreated, qt::FileExists(qt::LogFilePath()));
        EXPECT_EQ(c.records, qt::RecordLines());
        ASSERT_TRUE(qt::RemoveFile(qt::LogFilePath()));
    }
}

TEST_F(LogConfigTest, FileSizeSettingSetsTheLimit) {
    struct Case {
        const char* value;  // nullptr: no FILESIZE key
        int limit;
        bool noticeFirst;
    };
    const Case cases[] = {
        {nullptr, 0, true},
        {"0", 0, true},
        {"abc", 0, true},
        {"-5", -5, true},
        {"", 524288, false},  // no text: the initial limit stays
        {"4096", 4096, false},
        {" 300 bytes", 300, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("FILESIZE ") + (c.value ? "\"" + std::string(c.value) + "\"" : "missing"));
        if (c.value) {
            qt::WriteLogConfig("1", c.value);
        } else {
            ASSERT_TRUE(qt::WriteFileBytes(qt::LogConfigPath(),
                                           "[Signature]\r\nPROJECT=Kestrin\r\n"
                                           "[Modules]\r\nOlvane_Quorlenlog_Zindra=1\r\n"
                                           "[LogFileSize]\r\nSIZE=100\r\n"));
        }
        {
            Logger logger(kModule, "PatchUpdate");
            EXPECT_EQ(c.limit, logger.MaxFileSize());
            logger.LogError("%s", "first");
            logger.LogError("%s", "second");
        }
        std::vector<std::string> expected;
        if (c.noticeFirst) {
            expected.push_back("Error|**** Log file size has exceeded the permissible limit of " +
                               std::to_string(c.limit) + " ****");
        } else {
            expected = {"Error|first", "Error|second"};
        }
        EXPECT_EQ(expected, qt::RecordLines());
        ASSERT_TRUE(qt::RemoveFile(qt::LogFilePath()));
    }
}

}  // namespace
