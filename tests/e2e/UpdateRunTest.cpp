// The updater end to end: the real Quorlen.exe in its own process, as a user starts it,
// with what the user sees (the box) and what an administrator finds afterwards (the
// installed list, the temp folder, the pending rename, the INI file and the log).
#include "tests/e2e/E2eFixture.h"

namespace e2e {
namespace {

const std::string kSeededIni =
    "[Signature]\r\nPROJECT=Kestrin\r\nMANUFACTURER=Olvane\r\n"
    "[Modules]\r\nOlvane_Quorlenlog_Zindra=1\r\nDEFAULT=1\r\n"
    "[LogLevels]\r\nLOG_DISABLED=0\r\nLOG_ERROR=1\r\nLOG_WARNING=2\r\nLOG_MAINTRACE=4\r\n"
    "LOG_DETAILEDTRACE=8\r\n"
    "[LogFileSize]\r\nFILESIZE=524288\r\n";

TEST_F(UpdaterScenario, ReplacesSupersededListOnXpAndWindows2000) {
    for (const char* version : {"winxp", "win2k"}) {
        SCOPED_TRACE(version);
        Clean();
        qt::SetUpdaterWindowsVersion(version);
        InstallSuite();

        qt::UpdaterRun run = qt::RunUpdater();

        ASSERT_TRUE(run.process.finished);
        EXPECT_EQ(0u, run.process.exitCode);
        EXPECT_EQ(std::vector<std::wstring>{kTextCompleted}, run.boxes);
        EXPECT_EQ(qt::ExpectedRegionList(), Installed());
        EXPECT_FALSE(qt::FileExists(StagedPath()));
        EXPECT_FALSE(qt::FileExists(kWaitingCopy));
        EXPECT_FALSE(qt::FileExists(kDriveRootCopy));
        EXPECT_TRUE(qt::PendingRenames().empty());
        EXPECT_EQ(kSeededIni, qt::ReadFileBytes(qt::LogConfigPath()));
        EXPECT_EQ(std::vector<std::string>{kRecordQueried}, qt::RecordLines());
    }
}

TEST_F(UpdaterScenario, LaterWindowsVersionsAreNotApplicable) {
    for (const char* version : {"win7", "win2003"}) {
        SCOPED_TRACE(version);
        Clean();
        qt::SetUpdaterWindowsVersion(version);
        InstallSuite();

        qt::UpdaterRun run = qt::RunUpdater();

        ExpectNotApplicable(run);
        EXPECT_EQ(kOldList, Installed());
        // The logger comes before the version gate: its file is seeded all the same.
        EXPECT_EQ(kSeededIni, qt::ReadFileBytes(qt::LogConfigPath()));
        EXPECT_EQ(std::vector<std::string>{"Error| Quorlen:: OS not supported"}, qt::RecordLines());
    }
}

TEST_F(UpdaterScenario, MissingInstallationIsNotApplicable) {
    qt::UpdaterRun run = qt::RunUpdater();

    ExpectNotApplicable(run);
    EXPECT_FALSE(qt::FileExists(kSuite));
    EXPECT_EQ((std::vector<std::string>{
                  "Error|Quorlen::GetInstalledPathRegOpenKeyEx Failed for Olvane_REG_INSTALL_KEY",
                  "Error| Quorlen:: Could not get the installation path. So, No relevant Software "
                  "found"}),
              qt::RecordLines());
}

TEST_F(UpdaterScenario, InstallDirectoryIsTheTextAfterTheLastComma) {
    struct Case {
        const char* value;
        bool replaced;
    } cases[] = {
        {"C:\\QuorlenSuite", true},                  // no comma: the whole value
        {"a,b,,C:\\QuorlenSuite", true},             // several commas: after the last one
        {"x,C:\\QuorlenSuite\\", true},              // one separator before Data
        {"x,C:\\Elsewhere,C:\\QuorlenSuite", true},  // a path before the last comma is ignored
        {"x,\\\\?\\C:\\QuorlenSuite", true},           // two backslashes: a UNC path
        // Not absolute: it would name a folder under wherever the updater was started.
        {"x, C:\\QuorlenSuite", false},  // the blank stays
        {"C:\\QuorlenSuite,", false},    // nothing after the comma
        {"x,QuorlenSuite", false},
        {"x,C:QuorlenSuite", false},      // relative to the drive's current folder
    };
    // The updater starts in C:\ here, so a relative "QuorlenSuite" would find the list.
    ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        Clean();
        InstallSuite(c.value);

        qt::UpdaterRun run = qt::RunUpdater();

        EXPECT_EQ(0u, run.process.exitCode);
        if (c.replaced) {
            EXPECT_EQ(std::vector<std::wstring>{kTextCompleted}, run.boxes);
            EXPECT_EQ(qt::ExpectedRegionList(), Installed());
        } else {
            ExpectNotApplicable(run);
            EXPECT_EQ(kOldList, Installed());
            EXPECT_EQ((std::vector<std::string>{
                          kRecordQueried,
                          "Error| Quorlen:: Could not get the installation path. So, No relevant "
                          "Software found"}),
                      qt::RecordLines());
        }
    }
    SetCurrentDirectoryA(qt::ModuleDir().c_str());
}

TEST_F(UpdaterScenario, OnlyTheSupersededDateIsReplaced) {
    struct Case {
        const char* name;
        int year, month, day, hour, minute;
    } cases[] = {
        {"one day later", 2004, 12, 4, 0, 0},
        {"one minute before the day", 2004, 12, 2, 23, 59},
        {"same day a year later", 2005, 12, 3, 12, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Clean();
        InstallSuite(std::string("x,") + kSuite, c.year, c.month, c.day, c.hour, c.minute);

        qt::UpdaterRun run = qt::RunUpdater();

        ExpectNotApplicable(run);
        EXPECT_EQ(kOldList, Installed());
        EXPECT_EQ((std::vector<std::string>{
                      kRecordQueried,
                      "Error|Quorlen::FileReplace Version of File is Equal To or Higher",
                      kRecordNotApplicable}),
                  qt::RecordLines());
    }
}

TEST_F(UpdaterScenario, AbsentListIsNotCreated) {
    InstallSuite();
    ASSERT_TRUE(qt::RemoveFile(kTarget));

    qt::UpdaterRun run = qt::RunUpdater();

    ExpectNotApplicable(run);
    EXPECT_FALSE(qt::FileExists(kTarget));
    EXPECT_EQ((std::vector<std::string>{
                  kRecordQueried,
                  "Error|Quorlen::FileReplace The Required File is not present in the Destination",
                  kRecordNotApplicable}),
              qt::RecordLines());
}

// Another program reads the list: the update waits beside it for the reboot.
TEST_F(UpdaterScenario, ListInUseIsScheduledForTheNextStart) {
    InstallSuite("x,C:\\QuorlenSuite\\");
    HANDLE reader = CreateFileA(kTarget, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, reader);

    qt::UpdaterRun run = qt::RunUpdater();
    CloseHandle(reader);

    EXPECT_EQ(0u, run.process.exitCode);
    EXPECT_EQ(std::vector<std::wstring>{kTextCompleted}, run.boxes);
    EXPECT_EQ(kOldList, Installed());
    EXPECT_EQ(qt::ExpectedRegionList(), qt::ReadFileBytes(kWaitingCopy));
    EXPECT_FALSE(qt::FileExists(kDriveRootCopy));
    EXPECT_FALSE(qt::FileExists(StagedPath()));
    EXPECT_EQ((std::vector<std::string>{"\\??\\C:\\QuorlenSuite\\Data\\vexo_regions.txt.new",
                                        "!\\??\\C:\\QuorlenSuite\\Data\\vexo_regions.txt"}),
              qt::PendingRenames());
    EXPECT_EQ((std::vector<std::string>{
                  kRecordQueried,
                  "Error|Quorlen::FileReplaceC:\\QuorlenSuite\\Data\\vexo_regions.txtCopying file "
                  "failed since  file is in use by other applications"}),
              qt::RecordLines());
}

// The list cannot be replaced, and the user is told the truth: in use with the copy
// beside it impossible (nothing is tried on the list itself), or held for writing, when
// its date cannot even be read and the update may well apply.
TEST_F(UpdaterScenario, FailedReplacementIsReportedAsFailed) {
    const struct {
        const char* name;
        DWORD access;
        bool squatter;  // a folder under the copy's name
        std::vector<std::string> records;
    } cases[] = {
        {"copy impossible", GENERIC_READ, true,
         {kRecordQueried, "Error|Quorlen::CopyFileToSameDriveCopying file failed",
          "Error|Quorlen::FileReplaceCopyFileToSameDrive failed"}},
        {"held for writing", GENERIC_WRITE, false,
         {kRecordQueried, "Error|CreateFile Failed in IndividualFileCheck.",
          "Error|Quorlen::FileReplace Version of File is Equal To or Higher", kRecordNotApplicable}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Clean();
        InstallSuite();
        if (c.squatter) {
            ASSERT_TRUE(CreateDirectoryA(kWaitingCopy, nullptr));
        }
        HANDLE holder = CreateFileA(kTarget, c.access, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                                    nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, holder);

        qt::UpdaterRun run = qt::RunUpdater();
        CloseHandle(holder);
        const DWORD beside = GetFileAttributesA(kWaitingCopy);
        EXPECT_EQ(c.squatter ? FILE_ATTRIBUTE_DIRECTORY : INVALID_FILE_ATTRIBUTES,
                  c.squatter ? beside & FILE_ATTRIBUTE_DIRECTORY : beside);
        RemoveDirectoryA(kWaitingCopy);

        EXPECT_EQ(0u, run.process.exitCode);
        EXPECT_EQ(std::vector<std::wstring>{kTextFailed}, run.boxes);
        EXPECT_EQ(kOldList, Installed());
        EXPECT_TRUE(qt::PendingRenames().empty());
        EXPECT_FALSE(qt::FileExists(kDriveRootCopy));
        EXPECT_EQ(c.records, qt::RecordLines());
    }
}

// No writable configuration: no log at all, and the user sees the same run.
TEST_F(UpdaterScenario, UnwritableLogConfigurationChangesNothingForTheUser) {
    InstallSuite();
    ASSERT_TRUE(CreateDirectoryA(qt::LogConfigPath().c_str(), nullptr));

    qt::UpdaterRun run = qt::RunUpdater();
    RemoveDirectoryA(qt::LogConfigPath().c_str());

    EXPECT_EQ(0u, run.process.exitCode);
    EXPECT_EQ(std::vector<std::wstring>{kTextCompleted}, run.boxes);
    EXPECT_EQ(qt::ExpectedRegionList(), Installed());
    EXPECT_FALSE(qt::FileExists(qt::LogFilePath()));
}

TEST_F(UpdaterScenario, FullTraceOfTheReplacement) {
    InstallSuite();
    qt::WriteLogConfig(15);

    qt::UpdaterRun run = qt::RunUpdater();

    EXPECT_EQ(std::vector<std::wstring>{kTextCompleted}, run.boxes);
    EXPECT_EQ((std::vector<std::string>{
                  "Main Trace|Quorlen::WinMain(Zindra)- Entering",
                  "Main Trace|Quorlen::GetInstalledPath - Entering",
                  kRecordQueried,
                  "Main Trace|Quorlen::GetInstalledPath - Exiting",
                  "Main Trace|Quorlen::ExtractTXT - Entering",
                  "Main Trace|Quorlen::ExtractTXT - Exiting",
                  "Main Trace|Quorlen::FileReplace - Entering",
                  "Main Trace|Quorlen::VersionCheck- Entering",
                  "Main Trace|Quorlen::VersionCheck- Exiting",
                  "Main Trace|Quorlen::FileReplace - Exiting",
                  "Main Trace|Quorlen::DisplayMessage - Entering",
                  "Main Trace|Quorlen::DisplayMessage - Exiting",
                  "Main Trace|Quorlen::DeleteFilesFromTemp - Entering",
                  "Main Trace|Quorlen::DeleteFilesFromTemp - Exiting",
                  "Main Trace|Quorlen::WinMain(Zindra)- Exiting"}),
              qt::RecordLines());
    // Every record comes from the updater's one thread.
    for (const qt::Record& r : qt::ReadRecords()) EXPECT_EQ("Olvane_Quorlenlog_Zindra", r.module);
}

// Run once with the default (English) system and again by CTest under German (Austria)
// and Japanese: the box speaks the language the system's language selects.
TEST_F(UpdaterScenario, BoxSpeaksTheSystemLanguage) {
    const char* system = getenv("QUORLEN_EXPECT_SYSTEM");
    const char* language = getenv("QUORLEN_EXPECT_LANG");
    WORD expectedSystem = static_cast<WORD>(strtoul(system ? system : "0x0409", nullptr, 0));
    WORD expectedLanguage = static_cast<WORD>(strtoul(language ? language : "0x0409", nullptr, 0));
    // The updater inherits this process's language: make sure it is the intended one.
    ASSERT_EQ(expectedSystem, GetSystemDefaultLangID());
    if (const char* user = getenv("QUORLEN_EXPECT_USER")) {
        ASSERT_EQ(strtoul(user, nullptr, 0), GetUserDefaultLangID());
    }
    InstallSuite();

    qt::UpdaterRun run = qt::RunUpdater();

    std::wstring expected;
    ASSERT_TRUE(qt::ReadTableEntry(expectedLanguage, 3, &expected));
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(std::vector<std::wstring>{expected}, run.boxes);
    EXPECT_EQ(qt::ExpectedRegionList(), Installed());
}

}  // namespace
}  // namespace e2e
