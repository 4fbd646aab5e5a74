// The log configuration file: seeding, signatures, masks and the size limit, through
// the real profile functions on the prefix's Windows directory.
#include <gtest/gtest.h>

#include "log/LogConfig.h"
#include "log/Logger.h"
#include "tests/support/TestSupport.h"

namespace {

class LogConfigTest : public ::testing::Test {
protected:
    void SetUp() override { qt::ResetLogFiles(); }
    void TearDown() override { qt::ResetLogFiles(); }
};

TEST_F(LogConfigTest, SeedsMissingFileWithFourSectionsByteForByte) {
    ASSERT_EQ(1, CheckLogConfig());
    EXPECT_EQ(std::string("[Signature]\r\nPROJECT=Kestrin\r\nMANUFACTURER=Olvane\r\n"
                          "[Modules]\r\nOlvane_Quorlenlog_Zindra=1\r\nDEFAULT=1\r\n"
                          "[LogLevels]\r\nLOG_DISABLED=0\r\nLOG_ERROR=1\r\nLOG_WARNING=2\r\n"
                          "LOG_MAINTRACE=4\r\nLOG_DETAILEDTRACE=8\r\n"
                          "[LogFileSize]\r\nFILESIZE=524288\r\n"),
              qt::ReadFileBytes(qt::LogConfigPath()));
}

}  // namespace
