// Bad input from the registry, the file system and the INI file: every run ends with
// exit code 0, an honest box or none, and never a half-written installation.
#include "tests/e2e/E2eFixture.h"

namespace e2e {
namespace {

class BadInput : public UpdaterScenario {
protected:
    // The installation is either untouched or fully replaced, never anything between.
    void ExpectWhole(const qt::UpdaterRun& run) {
        EXPECT_TRUE(run.process.finished);
        EXPECT_EQ(0u, run.process.exitCode);
        EXPECT_LE(run.boxes.size(), 1u);
        std::string installed = Installed();
        EXPECT_TRUE(installed == kOldList || installed == qt::ExpectedRegionList());
    }
};

TEST_F(BadInput, RegistryValuesOfOtherTypesAndSizes) {
    std::string exact = std::string("x,") + kSuite;
    exact.insert(0, 1023 - exact.size(), 'p');  // 1023 characters and the terminator
    std::string over(5000, 'p');
    over += std::string(",") + kSuite;
    std::string full(1024, 'q');  // fills the buffer, no room for a terminator
    std::string unterminated = std::string("x,") + kSuite;
    DWORD number = 0x5C3A43;  // "C:\" and a zero byte

    struct Case {
        const char* name;
        DWORD type;
        std::string data;
        bool replaced;
    } cases[] = {
        {"REG_DWORD", REG_DWORD, std::string(reinterpret_cast<char*>(&number), 4), false},
        {"REG_BINARY without NUL", REG_BINARY, unterminated, true},
        {"REG_BINARY of 1024 bytes without NUL", REG_BINARY, full, false},
        {"1023 characters", REG_SZ, exact + '\0', true},
        {"5000 characters", REG_SZ, over + '\0', false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Clean();
        InstallSuite();
        ASSERT_TRUE(qt::SetInstallValue(c.type, c.data.data(), static_cast<DWORD>(c.data.size())));

        qt::UpdaterRun run = qt::RunUpdater();

        ExpectWhole(run);
        EXPECT_EQ(c.replaced ? qt::ExpectedRegionList() : std::string(kOldList), Installed());
        EXPECT_EQ(std::vector<std::wstring>{c.replaced ? kTextCompleted : kTextNotSupported},
                  run.boxes);
    }
}

TEST_F(BadInput, InstallPathTooLongForItsFileNames) {
    // Too long for "Data": the run goes on with the bare path, and the file name then
    // cannot be appended either.
    std::string longPath = std::string("x,C:\\") + std::string(300, 'L');
    InstallSuite(longPath);
    qt::WriteLogConfig(5);

    qt::UpdaterRun run = qt::RunUpdater();

    ExpectWhole(run);
    EXPECT_EQ(std::vector<std::wstring>{kTextNotSupported}, run.boxes);
    EXPECT_EQ(kOldList, Installed());
    std::vector<std::string> records = qt::RecordLines();
    EXPECT_NE(records.end(), std::find(records.begin(), records.end(),
                                       "Main Trace|Quorlen::WinMain(Zindra) PathAppend Failed"));
    EXPECT_NE(records.end(), std::find(records.begin(), records.end(), kRecordNotApplicable));
}

TEST_F(BadInput, PercentSignsInTheInstallPath) {
    const char kOddSuite[] = "C:\\Quorlen%s%n%dSuite";
    ASSERT_TRUE(qt::SetInstallDir(std::string("x,") + kOddSuite));
    std::string data = std::string(kOddSuite) + "\\Data";
    std::string target = data + "\\vexo_regions.txt";
    CreateDirectoryA(kOddSuite, nullptr);
    CreateDirectoryA(data.c_str(), nullptr);
    ASSERT_TRUE(qt::WriteFileBytes(target, kOldList));
    ASSERT_TRUE(qt::SetLastWriteUtc(target, 2004, 12, 3));
    HANDLE reader = CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);

    qt::UpdaterRun run = qt::RunUpdater();
    CloseHandle(reader);

    EXPECT_EQ(0u, run.process.exitCode);
    EXPECT_EQ(std::vector<std::wstring>{kTextCompleted}, run.boxes);
    std::vector<std::string> records = qt::RecordLines();
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ("Error|Quorlen::FileReplace" + target +
                  "Copying file failed since  file is in use by other applications",
              records[1]);
    qt::ClearPendingRenames();
    qt::RemoveFile(target);
    EXPECT_TRUE(qt::RemoveFile(target + ".new"));
    RemoveDirectoryA(data.c_str());
    RemoveDirectoryA(kOddSuite);
}

TEST_F(BadInput, LongTemporaryFolders) {
    // 210 characters: the staged path still fits MAX_PATH and the update proceeds.
    std::string fits = "C:\\" + std::string(210, 'T');
    // 245 characters (CreateDirectoryA allows up to 248): the staged file name does not
    // fit; nothing is staged or touched.
    std::string tooLong = "C:\\" + std::string(242, 'T');
    for (const std::string& temp : {fits, tooLong}) {
        SCOPED_TRACE(temp.size());
        Clean();
        InstallSuite();
        ASSERT_TRUE(CreateDirectoryA(temp.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);

        qt::UpdaterRun run = qt::RunUpdater({"TMP=" + temp, "TEMP=" + temp});

        ExpectWhole(run);
        // The staged file goes into a folder of 12 characters of the run's own.
        bool staged = temp.size() + 1 + 12 + 1 + strlen("vexo_regions.txt") < MAX_PATH;
        if (staged) {
            EXPECT_EQ(std::vector<std::wstring>{kTextCompleted}, run.boxes);
            EXPECT_EQ(qt::ExpectedRegionList(), Installed());
        } else {
            EXPECT_TRUE(run.boxes.empty());
            EXPECT_EQ(kOldList, Installed());
        }
        qt::RemoveFile(temp + "\\vexo_regions.txt");
        RemoveDirectoryA(temp.c_str());
    }
}

TEST_F(BadInput, DamagedLogConfiguration) {
    std::string garbage;
    for (int i = 0; i < 4096; ++i) garbage += static_cast<char>((i * 7919) & 0xFF);
    std::string longLine =
        "[Signature]\r\nPROJECT=Kestrin\r\n[Modules]\r\nJunk=" + std::string(10000, '7') +
        "\r\nOlvane_Quorlenlog_Zindra=1\r\n[LogFileSize]\r\nFILESIZE=524288\r\n";
    struct Case {
        const char* name;
        std::string ini;
        bool logged;
    } cases[] = {
        {"binary garbage", garbage, true},  // reseeded
        {"10000-character line", longLine, true},
        {"negative FILESIZE", "[Signature]\r\nPROJECT=Kestrin\r\n[Modules]\r\n"
                              "Olvane_Quorlenlog_Zindra=1\r\n[LogFileSize]\r\nFILESIZE=-5\r\n", true},
        {"huge FILESIZE", "[Signature]\r\nPROJECT=Kestrin\r\n[Modules]\r\n"
                          "Olvane_Quorlenlog_Zindra=1\r\n[LogFileSize]\r\n"
                          "FILESIZE=99999999999999999999\r\n", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Clean();
        InstallSuite();
        ASSERT_TRUE(qt::WriteFileBytes(qt::LogConfigPath(), c.ini));

        qt::UpdaterRun run = qt::RunUpdater();

        ExpectWhole(run);
        EXPECT_EQ(std::vector<std::wstring>{kTextCompleted}, run.boxes);
        EXPECT_EQ(qt::ExpectedRegionList(), Installed());
        // Whatever the file held, the log is whole records or nothing.
        qt::ReadRecords();
    }
}

TEST_F(BadInput, LogPathThatIsAFolder) {
    InstallSuite();
    ASSERT_TRUE(CreateDirectoryA(qt::LogFilePath().c_str(), nullptr));

    qt::UpdaterRun run = qt::RunUpdater();
    RemoveDirectoryA(qt::LogFilePath().c_str());

    ExpectWhole(run);
    EXPECT_EQ(std::vector<std::wstring>{kTextCompleted}, run.boxes);
    EXPECT_EQ(qt::ExpectedRegionList(), Installed());
}

// A staged file that cannot be replaced: still held, without sharing, by an earlier run.
// (A read-only bit alone does not stop Wine when it runs as root.)
TEST_F(BadInput, StagedNameHeldInTheTempFolder) {
    // Another program holds a file of the staged name in the temp folder, sharing
    // nothing: the run stages in a folder of its own and leaves that file as it was.
    InstallSuite();
    ASSERT_TRUE(qt::WriteFileBytes(StagedPath(), "stale"));
    HANDLE holder = CreateFileA(StagedPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, holder);

    qt::UpdaterRun run = qt::RunUpdater();
    CloseHandle(holder);

    ExpectWhole(run);
    EXPECT_EQ(std::vector<std::wstring>{kTextCompleted}, run.boxes);
    EXPECT_EQ(qt::ExpectedRegionList(), Installed());
    EXPECT_EQ("stale", qt::ReadFileBytes(StagedPath()));
    EXPECT_EQ(std::vector<std::string>{kRecordQueried}, qt::RecordLines());
}

}  // namespace
}  // namespace e2e
