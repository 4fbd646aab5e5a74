// Replacing the installed list, with real files, real sharing and the real registry
// list of renames pending for the next start.
#include "tests/deploy/DeployFixture.h"

#include "base/Handles.h"
#include "base/Platform.h"
#include "base/Seam.h"
#include "deploy/WaitingCopy.h"
#include "run/Outcome.h"

namespace {

const char kReplaceEntering[] = "Main Trace|Quorlen::FileReplace - Entering";
const char kReplaceExiting[] = "Main Trace|Quorlen::FileReplace - Exiting";
const char kCheckEntering[] = "Main Trace|Quorlen::VersionCheck- Entering";
const char kCheckExiting[] = "Main Trace|Quorlen::VersionCheck- Exiting";
const char kNewer[] = "Error|Quorlen::FileReplace Version of File is Equal To or Higher";
const char kInUse[] = "Copying file failed since  file is in use by other applications";

using Lines = std::vector<std::string>;

// A replacing rename as SMB1 (and FAT) carries it out: the target is deleted, then the
// rename fails, here as when the connection drops. The plain rename may go on or fail too.
BOOL WINAPI DeleteThenFail(LPCSTR from, LPCSTR to, DWORD flags) {
    if ((flags & MOVEFILE_REPLACE_EXISTING) == 0) return MoveFileExA(from, to, flags);
    DeleteFileA(to);
    SetLastError(ERROR_NETNAME_DELETED);
    return FALSE;
}
BOOL WINAPI DeleteThenFailEveryRename(LPCSTR, LPCSTR to, DWORD flags) {
    if (flags & MOVEFILE_REPLACE_EXISTING) DeleteFileA(to);
    SetLastError(ERROR_NETNAME_DELETED);
    return FALSE;
}

// A list of pending renames that is not a list of strings: the system refuses to add to
// it, as a move onto a network volume is refused. Removed again when it goes.
class ScopedRefusedRestartMoves {
public:
    ScopedRefusedRestartMoves() {
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, qt::kSessionManager, 0, nullptr,
                                                 0, KEY_ALL_ACCESS, nullptr, key_.Receive(), nullptr));
        const DWORD notAList = 1;
        EXPECT_EQ(ERROR_SUCCESS,
                  RegSetValueExA(key_.Get(), "PendingFileRenameOperations", 0, REG_DWORD,
                                 reinterpret_cast<const BYTE*>(&notAList), sizeof notAList));
    }
    ~ScopedRefusedRestartMoves() { RegDeleteValueA(key_.Get(), "PendingFileRenameOperations"); }

private:
    ScopedKey key_;
};

struct Outcome {
    int result;
    int flag;
    std::string folder;  // the caller's buffer afterwards
    Lines records;
};

class ReplaceTest : public DeployTest {
protected:
    void SetUp() override {
        DeployTest::SetUp();
        Stage();
    }

    // FileReplace on a buffer holding folder, with the flag at 7 so that any change shows.
    Outcome Replace(const std::string& folder, int mask = 15) {
        PathBuffer buffer;
        SetFolder(buffer, folder);
        StartLog(mask);
        Outcome o;
        o.flag = 7;
        o.result = FileReplace(buffer, &o.flag);
        o.records = StopLog();
        o.folder.assign(buffer, strnlen(buffer, sizeof buffer));
        return o;
    }

    // The same while another program reads the list: it cannot be overwritten now.
    Outcome ReplaceWhileRead(const std::string& folder) {
        const std::string target = folder + "\\vexo_regions.txt";
        ScopedHandle reader(CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                        OPEN_EXISTING, 0, nullptr));
        EXPECT_TRUE(reader.IsValid()) << qt::Win32ErrorText(GetLastError());
        return Replace(folder);
    }
};

TEST_F(ReplaceTest, ReplacesOnlyAListLastWrittenOnTheThirdOfDecemberInUtc) {
    const struct {
        int year, month, day, hour, minute, second;
        bool replaced;
    } cases[] = {
        {2004, 12, 3, 0, 0, 0, true},   {2004, 12, 3, 23, 59, 59, true},
        {2004, 12, 2, 23, 59, 59, false}, {2004, 12, 4, 0, 0, 0, false},
        {2005, 12, 3, 12, 0, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.year << "-" << c.month << "-" << c.day << " "
                                        << c.hour << ":" << c.minute << ":" << c.second);
        InstallOldList(kDataFolder, c.year, c.month, c.day, c.hour, c.minute, c.second);
        ASSERT_TRUE(qt::RemoveFile(kKept));
        const FILETIME written = qt::FileInfo(kTarget).ftLastWriteTime;
        Outcome o = Replace(kDataFolder);
        EXPECT_EQ(kTarget, o.folder);
        if (c.replaced) {
            EXPECT_EQ(1, o.result);
            EXPECT_EQ(1, o.flag);
            EXPECT_EQ(qt::ExpectedRegionList(), qt::ReadFileBytes(kTarget));
            EXPECT_FALSE(qt::FileExists(kWaiting));  // the copy became the list
            // The list it replaced waits beside it for an undo, to the second as it was.
            EXPECT_EQ(kOldList, qt::ReadFileBytes(kKept));
            const FILETIME kept = qt::FileInfo(kKept).ftLastWriteTime;
            EXPECT_EQ(0, CompareFileTime(&written, &kept));
            EXPECT_EQ((Lines{kReplaceEntering, kCheckEntering, kCheckExiting, kReplaceExiting}),
                      o.records);
        } else {
            EXPECT_EQ(0, o.result);
            EXPECT_EQ(0, o.flag);
            EXPECT_EQ(kOldList, qt::ReadFileBytes(kTarget));
            EXPECT_FALSE(qt::FileExists(kKept));
            EXPECT_EQ((Lines{kReplaceEntering, kCheckEntering, kCheckExiting, kNewer,
                             kReplaceExiting}),
                      o.records);
        }
    }
}

TEST_F(ReplaceTest, LeavesAnAbsentListAbsent) {
    // Only a whole copy beside an absent list, a rename cut short, becomes the list.
    const struct {
        const char* name;
        std::string beside;  // empty: nothing beside the list
        int result;
    } cases[] = {
        {"nothing beside it", "", 0},
        {"a copy that differs", kOldList, 0},
        {"a rename cut short", qt::ExpectedRegionList(), 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(qt::RemoveTree(kDataFolder) && qt::CreateFolders(kDataFolder));
        if (!c.beside.empty()) {
            ASSERT_TRUE(qt::WriteFileBytes(kWaiting, c.beside));
        }
        Outcome o = Replace(kDataFolder);
        EXPECT_EQ(c.result, o.result);
        EXPECT_EQ(c.result, o.flag);
        if (c.result == 1) {
            EXPECT_EQ(qt::ExpectedRegionList(), qt::ReadFileBytes(kTarget));
            EXPECT_FALSE(qt::FileExists(kWaiting));
            EXPECT_EQ((Lines{kReplaceEntering, kReplaceExiting}), o.records);
            continue;
        }
        EXPECT_EQ((Lines{kReplaceEntering,
                         "Error|Quorlen::FileReplace The Required File is not present in the "
                         "Destination",
                         kReplaceExiting}),
                  o.records);
        EXPECT_FALSE(qt::FileExists(kTarget));
        EXPECT_EQ(c.beside, qt::ReadFileBytes(kWaiting));
        WIN32_FIND_DATAA entry;
        ScopedFind search(FindFirstFileA("C:\\QuorlenTest\\Data\\*", &entry));
        ASSERT_TRUE(search.IsValid());
        int entries = 0;
        do {
            if (strcmp(entry.cFileName, ".") && strcmp(entry.cFileName, "..")) ++entries;
        } while (FindNextFileA(search.Get(), &entry));
        EXPECT_EQ(c.beside.empty() ? 0 : 1, entries);
        EXPECT_FALSE(qt::FileExists(kRootCopy));
    }
}

TEST_F(ReplaceTest, ClearsTheReadOnlyBitAndOverwrites) {
    InstallOldList(kDataFolder);
    ASSERT_TRUE(SetFileAttributesA(kTarget, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE));
    Outcome o = Replace(kDataFolder);
    EXPECT_EQ(1, o.result);
    EXPECT_EQ(1, o.flag);
    EXPECT_EQ(qt::ExpectedRegionList(), qt::ReadFileBytes(kTarget));
    EXPECT_EQ(0u, GetFileAttributesA(kTarget) & FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ((Lines{kReplaceEntering, kCheckEntering, kCheckExiting, kReplaceExiting}), o.records);
}

TEST_F(ReplaceTest, SchedulesTheReplacementWhenTheListIsHeldForReading) {
    // The copy for the restart waits beside the list, whatever the drive root holds:
    // another user's file or folder of the list's name there is never touched.
    const std::string rootFile = "vraxon.option.planted\r\n";
    // A second run before the restart keeps the copy and its one move, however the
    // folder was typed: the system stores the names in their full form.
    const struct {
        const char* name;
        std::string folder;
        bool rootFolder;       // a folder named vexo_regions.txt in the drive root
        bool rootAndStaleFile;  // a file of that name there, and a stale copy beside the list
        int runs;
        std::string stored;    // the folder as the system stores it; empty: as typed
    } cases[] = {
        {"plain", kDataFolder, false, false, 1, ""},
        {"percent signs", kPercentFolder, false, false, 1, ""},
        {"folder in the root", kDataFolder, true, false, 1, ""},
        {"file in the root, stale copy", kDataFolder, false, true, 1, ""},
        {"typed with slashes, run twice", "C:/QuorlenTest//Data", false, false, 2, kDataFolder},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string target = (c.stored.empty() ? c.folder : c.stored) + "\\vexo_regions.txt";
        const std::string waiting = target + ".new";
        qt::ClearPendingRenames();
        ASSERT_TRUE(qt::RemoveTree(kRootCopy));
        InstallOldList(c.stored.empty() ? c.folder : c.stored);
        if (c.rootFolder) {
            ASSERT_TRUE(qt::CreateFolders(kRootCopy));
        }
        if (c.rootAndStaleFile) {
            ASSERT_TRUE(qt::WriteFileBytes(kRootCopy, rootFile));
            ASSERT_TRUE(qt::WriteFileBytes(waiting, kOldList));
        }
        Outcome o;
        for (int run = 0; run < c.runs; ++run) o = ReplaceWhileRead(c.folder);
        EXPECT_EQ(1, o.result);
        EXPECT_EQ(1, o.flag);
        EXPECT_EQ(kOldList, qt::ReadFileBytes(target));
        EXPECT_EQ(qt::ExpectedRegionList(), qt::ReadFileBytes(waiting));
        EXPECT_EQ(kOldList, qt::ReadFileBytes(target + ".old"));  // for an undo, even then
        EXPECT_EQ((Lines{"\\??\\" + waiting, "!\\??\\" + target}), qt::PendingRenames());
        EXPECT_EQ((Lines{kReplaceEntering, kCheckEntering, kCheckExiting,
                         "Error|Quorlen::FileReplace" + o.folder + kInUse, kReplaceExiting}),
                  o.records);
        DWORD root = GetFileAttributesA(kRootCopy);
        if (c.rootFolder) {
            EXPECT_NE(0u, root & FILE_ATTRIBUTE_DIRECTORY);
        } else if (c.rootAndStaleFile) {
            EXPECT_EQ(rootFile, qt::ReadFileBytes(kRootCopy));
        } else {
            EXPECT_EQ(INVALID_FILE_ATTRIBUTES, root);
        }
        // The run's clean-up removes the staged file, not the copy the restart will move.
        EXPECT_NE(0, DeleteFilesFromTemp(tempFolder_.c_str()));
        EXPECT_EQ(qt::ExpectedRegionList(), qt::ReadFileBytes(waiting));
        Stage();
    }
}

TEST_F(ReplaceTest, LeavesAListHeldOpenForWriting) {
    InstallOldList(kDataFolder);
    Outcome o;
    {
        ScopedHandle writer(CreateFileA(kTarget, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                        nullptr));
        ASSERT_TRUE(writer.IsValid()) << qt::Win32ErrorText(GetLastError());
        o = Replace(kDataFolder);
    }
    EXPECT_EQ(0, o.result);
    EXPECT_EQ(0, o.flag);
    EXPECT_EQ(kOldList, qt::ReadFileBytes(kTarget));
    EXPECT_TRUE(qt::PendingRenames().empty());
    EXPECT_FALSE(qt::FileExists(kRootCopy));
    EXPECT_EQ((Lines{kReplaceEntering, kCheckEntering, "Error|CreateFile Failed in IndividualFileCheck.",
                     kCheckExiting, kNewer, kReplaceExiting}),
              o.records);
}

TEST_F(ReplaceTest, EachFailingStepLeavesTheListWhole) {
    // Each step of a replacement fails in turn, for real. Whatever fails, the list is the
    // old one or the new one, whole; nothing half-done stays; and when the result is 0
    // (text 6), the list, its read-only bit included, is exactly as it was. A staged file
    // changed after staging is no failure: the new list comes from the executable.
    const std::string inUse = std::string("Error|Quorlen::FileReplace") + kTarget + kInUse;
    const std::string copyFailed = "Error|Quorlen::CopyFileToSameDriveCopying file failed";
    const std::string fallbackFailed = "Error|Quorlen::FileReplaceCopyFileToSameDrive failed";
    const std::string moveFailed = std::string("Error|Quorlen::FileReplace") + kTarget +
                                   "MoveFileEx failed";
    enum Fault { kCopySquatted, kOldSquatted, kStagedChanged, kListHeld, kMoveRefused };
    const struct {
        const char* name;
        Fault fault;
        int result;
        Lines failures;  // the records between the date test and the exit
        bool debugLine;
    } cases[] = {
        {"a folder squats the copy's name", kCopySquatted, 0, {copyFailed, fallbackFailed}, true},
        {"a folder squats the kept list's name", kOldSquatted, 0,
         {"Error|Quorlen::FileReplaceCreateFileA (.old) failed"}, false},
        {"the staged file changed before the copy", kStagedChanged, 1, {}, false},
        {"the list held by another program", kListHeld, 1, {inUse}, false},
        {"the delayed move refused", kMoveRefused, 0, {inUse, moveFailed}, false},
    };
    const DWORD installedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        qt::ClearPendingRenames();
        ASSERT_TRUE(qt::RemoveTree(kWaiting) && qt::RemoveTree(kKept));
        InstallOldList(kDataFolder);
        ASSERT_TRUE(SetFileAttributesA(kTarget, installedAttributes));
        std::unique_ptr<ScopedRefusedRestartMoves> refused;
        if (c.fault == kCopySquatted || c.fault == kOldSquatted) {
            ASSERT_TRUE(qt::CreateFolders(c.fault == kCopySquatted ? kWaiting : kKept));
        }
        if (c.fault == kStagedChanged) {
            // Same size, one byte off: only a comparison with the payload can tell.
            std::string changed = qt::ExpectedRegionList();
            changed[100] ^= 0x20;
            ASSERT_TRUE(qt::WriteFileBytes(Staged(), changed));
        }
        if (c.fault == kMoveRefused) refused = std::make_unique<ScopedRefusedRestartMoves>();
        qt::DebugOutputCapture debug;
        Outcome o = c.fault == kListHeld || c.fault == kMoveRefused ? ReplaceWhileRead(kDataFolder)
                                                                      : Replace(kDataFolder);
        refused.reset();
        EXPECT_EQ(c.result, o.result);
        EXPECT_EQ(1, o.flag);
        Lines expected{kReplaceEntering, kCheckEntering, kCheckExiting};
        expected.insert(expected.end(), c.failures.begin(), c.failures.end());
        expected.push_back(kReplaceExiting);
        EXPECT_EQ(expected, o.records);
        EXPECT_EQ(c.debugLine ? Lines{"ERROR: Quorlen :Could not copy the file to the same drive"}
                              : Lines{},
                  debug.Lines());
        EXPECT_FALSE(qt::FileExists(kRootCopy));
        if (c.fault == kStagedChanged) {
            EXPECT_EQ(qt::ExpectedRegionList(), qt::ReadFileBytes(kTarget));
            EXPECT_FALSE(qt::FileExists(kWaiting));
        } else {
            EXPECT_EQ(kOldList, qt::ReadFileBytes(kTarget));
        }
        if (c.result == 0) {
            EXPECT_EQ(installedAttributes, GetFileAttributesA(kTarget));
            EXPECT_TRUE(qt::PendingRenames().empty());
            // Only the squatter's folder may stand there: it is not ours to remove.
            for (const auto& beside : {std::make_pair(kWaiting, kCopySquatted),
                                       std::make_pair(kKept, kOldSquatted)}) {
                DWORD attributes = GetFileAttributesA(beside.first);
                if (c.fault == beside.second) {
                    EXPECT_NE(0u, attributes & FILE_ATTRIBUTE_DIRECTORY) << beside.first;
                } else {
                    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, attributes) << beside.first;
                }
            }
        } else {
            // The list that is, or is about to be, replaced waits beside it as it was.
            EXPECT_EQ(kOldList, qt::ReadFileBytes(kKept));
            EXPECT_EQ(installedAttributes, GetFileAttributesA(kKept));
        }
        if (c.result == 1 && c.fault != kStagedChanged) {
            EXPECT_EQ(qt::ExpectedRegionList(), qt::ReadFileBytes(kWaiting));
            EXPECT_EQ((Lines{std::string("\\??\\") + kWaiting, std::string("!\\??\\") + kTarget}),
                      qt::PendingRenames());
        }
        SetFileAttributesA(kTarget, FILE_ATTRIBUTE_NORMAL);
        Stage();
    }
}

TEST_F(ReplaceTest, AListGoneWithAFailedRenameKeepsItsCopy) {
    // After a failed rename the list may be gone: its copy is then all that is left, and
    // nothing may remove it. It takes the empty place now, at the restart, or in the next
    // run; and nobody is told that the installation is as it was.
    const struct {
        const char* name;
        MoveFileExFn move;
        bool restartRefused;
        int result;
        int outcome;
    } cases[] = {
        {"the plain rename puts the copy in place", DeleteThenFail, false, 1, kReplaceDone},
        {"every rename fails: the restart moves it", DeleteThenFailEveryRename, false, 1,
         kReplaceWaiting},
        {"no restart move either: the next run moves it", DeleteThenFailEveryRename, true, 0,
         kReplaceListGone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        qt::ClearPendingRenames();
        ASSERT_TRUE(qt::RemoveTree(kWaiting));
        InstallOldList(kDataFolder);
        PathBuffer folder;
        SetFolder(folder, kDataFolder);
        int flag = 0;
        ReplaceReport report;
        {
            ScopedSeam<MoveFileExFn> seam(g_moveFileEx, c.move);
            std::unique_ptr<ScopedRefusedRestartMoves> refused;
            if (c.restartRefused) refused = std::make_unique<ScopedRefusedRestartMoves>();
            EXPECT_EQ(c.result, FileReplace(folder, &flag, &report));
        }
        EXPECT_EQ(1, flag);
        EXPECT_EQ(c.outcome, report.outcome);
        EXPECT_EQ(kOldList, qt::ReadFileBytes(kKept));  // nothing takes the list it replaced
        RunOutcome outcome;
        SetReplacementOutcome(&outcome, kTarget, report);
        EXPECT_EQ(std::string::npos, std::string(outcome.text).find("as it was")) << outcome.text;
        if (c.outcome == kReplaceDone) {
            EXPECT_EQ(qt::ExpectedRegionList(), qt::ReadFileBytes(kTarget));
            EXPECT_FALSE(qt::FileExists(kWaiting));
            continue;
        }
        EXPECT_EQ(qt::ExpectedRegionList(), qt::ReadFileBytes(kWaiting));
        if (c.outcome == kReplaceListGone) {
            EXPECT_EQ(kOutcomeFailed, outcome.id);
            EXPECT_NE(std::string::npos, std::string(outcome.text).find("the region list is gone"))
                << outcome.text;
        }
        // The next run, on a PC that has not restarted, finds the copy alone.
        SetFolder(folder, kDataFolder);
        EXPECT_EQ(1, FileReplace(folder, &flag, &report));
        EXPECT_EQ(kReplaceDone, report.outcome);
        EXPECT_EQ(qt::ExpectedRegionList(), qt::ReadFileBytes(kTarget));
        EXPECT_FALSE(qt::FileExists(kWaiting));
    }
}

TEST_F(ReplaceTest, KeepsTheListItReplacesBesideIt) {
    // What stands under the kept list's name before the run: a file that already is the
    // list, bytes and date, under one name, stays as it is; anything else is replaced,
    // and a hard link planted there is not followed.
    const std::string victim = "C:\\QuorlenTest\\victim.txt";
    enum Before { kOtherBytes, kOtherDate, kTheList, kLink };
    const struct {
        const char* name;
        Before before;
    } cases[] = {
        {"other bytes", kOtherBytes},
        {"the list's bytes of another date", kOtherDate},
        {"the list, bytes and date", kTheList},
        {"a hard link to a read-only file with the list's bytes and date", kLink},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(qt::RemoveFile(kKept));
        InstallOldList(kDataFolder);
        const FILETIME written = qt::FileInfo(kTarget).ftLastWriteTime;
        const std::string planted = c.before == kLink ? victim : kKept;
        ASSERT_TRUE(qt::WriteFileBytes(planted, c.before == kOtherBytes ? "vraxon.x\r\n" : kOldList));
        ASSERT_TRUE(qt::SetLastWriteUtc(planted, 2004, 12, c.before == kOtherDate ? 4 : 3));
        if (c.before == kLink) {
            ASSERT_TRUE(SetFileAttributesA(victim.c_str(), FILE_ATTRIBUTE_READONLY));
            ASSERT_TRUE(CreateHardLinkA(kKept, victim.c_str(), nullptr));
        }
        // Open all along, so that its file's index stays its own.
        ScopedHandle before(CreateFileA(kKept, FILE_READ_ATTRIBUTES,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
        BY_HANDLE_FILE_INFORMATION was;
        ASSERT_TRUE(GetFileInformationByHandle(before.Get(), &was));
        EXPECT_EQ(1, Replace(kDataFolder).result);
        EXPECT_EQ(qt::ExpectedRegionList(), qt::ReadFileBytes(kTarget));
        const BY_HANDLE_FILE_INFORMATION kept = qt::FileInfo(kKept);
        EXPECT_EQ(kOldList, qt::ReadFileBytes(kKept));
        EXPECT_EQ(0, CompareFileTime(&written, &kept.ftLastWriteTime));
        EXPECT_EQ(1u, kept.nNumberOfLinks);
        EXPECT_EQ(c.before == kTheList, kept.nFileIndexLow == was.nFileIndexLow &&
                                            kept.nFileIndexHigh == was.nFileIndexHigh);
        before.Close();
        if (c.before == kLink) {
            EXPECT_EQ(kOldList, qt::ReadFileBytes(victim));
            EXPECT_NE(0u, GetFileAttributesA(victim.c_str()) & FILE_ATTRIBUTE_READONLY);
            SetFileAttributesA(victim.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        Stage();
    }
}

TEST_F(ReplaceTest, RefusesPathsThatDoNotFit) {
    const std::string prefix = "Main Trace|Quorlen::FileReplace PathAppend Failed for :  ";
    const std::string nearBufferSize = "C:\\" + std::string(1016, 'p') + "\\";
    const std::string overMaxPath = "C:\\" + std::string(240, 'p') + "\\";  // 244 + 16 > 259
    const std::string unterminated(1024, 'p');
    const struct {
        const char* name;
        std::string temp, data, shown;
    } cases[] = {
        {"temp folder near the buffer size", nearBufferSize, kDataFolder, nearBufferSize},
        {"temp folder one over MAX_PATH", overMaxPath, kDataFolder, overMaxPath},
        {"temp folder without terminator", unterminated, kDataFolder, std::string(1023, 'p')},
        {"data folder near the buffer size", tempFolder_, nearBufferSize, nearBufferSize},
        {"data folder one over MAX_PATH", tempFolder_, overMaxPath.substr(0, 243),
         overMaxPath.substr(0, 243)},
        {"data folder without terminator", tempFolder_, unterminated, std::string(1023, 'p')},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SetTempFolder(c.temp);
        Outcome o = Replace(c.data);
        EXPECT_EQ(0, o.result);
        EXPECT_EQ(7, o.flag);
        // A record's text is cut to 1023 characters.
        const std::string text = (prefix + c.shown).substr(0, prefix.find('|') + 1 + 1023);
        EXPECT_EQ((Lines{kReplaceEntering, text, kReplaceExiting}), o.records);
    }
}

TEST_F(ReplaceTest, CopiesBesideTheTarget) {
    const std::string longTarget = "C:\\" + std::string(1015, 'p') + "\\x";  // 1020 characters
    // What already stands under the copy's name: a stale copy is replaced; a hard link is
    // not followed; one whose move is registered for the next start belongs to that move.
    enum Before { kNothing, kStale, kLink, kReadOnlyLink, kHeldStale, kRegistered };
    const std::string victim = "C:\\QuorlenTest\\victim.txt";
    const struct {
        const char* name;
        std::string target;
        const char* copy;  // empty: the copy cannot be made
        Before before;
    } cases[] = {
        {"target on C:", kTarget, kWaiting, kNothing},
        // No folder in the text: the current one, here the data folder.
        {"target without a separator", "vexo_regions.txt", "vexo_regions.txt.new", kNothing},
        {"stale copy overwritten", kTarget, kWaiting, kStale},
        {"hard link planted", kTarget, kWaiting, kLink},
        // Its bit is the victim's: cleared through the link, the victim could be written.
        {"read-only hard link planted", kTarget, kWaiting, kReadOnlyLink},
        // A backup program holds it, letting it be deleted: the name is still free at once.
        {"stale copy held with delete sharing", kTarget, kWaiting, kHeldStale},
        {"stale copy with its move registered", kTarget, "", kRegistered},
        {"copy path does not fit", longTarget, "", kNothing},
    };
    ASSERT_TRUE(SetCurrentDirectoryA(kDataFolder));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        qt::RemoveFile(kWaiting);
        qt::ClearPendingRenames();
        ASSERT_TRUE(qt::WriteFileBytes(victim, kOldList));
        if (c.before == kStale || c.before == kRegistered) {
            ASSERT_TRUE(qt::WriteFileBytes(kWaiting, kOldList));
        }
        if (c.before == kLink || c.before == kReadOnlyLink) {
            ASSERT_TRUE(CreateHardLinkA(kWaiting, victim.c_str(), nullptr));
        }
        if (c.before == kReadOnlyLink) {
            ASSERT_TRUE(SetFileAttributesA(victim.c_str(), FILE_ATTRIBUTE_READONLY));
        }
        ScopedHandle holder;
        if (c.before == kHeldStale) {
            ASSERT_TRUE(qt::WriteFileBytes(kWaiting, kOldList));
            holder = ScopedHandle(CreateFileA(kWaiting, GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                              nullptr, OPEN_EXISTING, 0, nullptr));
            ASSERT_TRUE(holder.IsValid());
        }
        if (c.before == kRegistered) {
            ASSERT_TRUE(MoveFileExA(kWaiting, kTarget,
                                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT));
        }
        PathBuffer source;
        SetFolder(source, Staged());
        StartLog();
        EXPECT_EQ(c.copy[0] ? 1 : 0, CopyFileToSameDrive(c.target.c_str(), source));
        if (c.copy[0]) {
            EXPECT_TRUE(StopLog().empty());
            EXPECT_STREQ(c.copy, source);
            EXPECT_EQ(qt::ExpectedRegionList(), qt::ReadFileBytes(kWaiting));
        } else {
            EXPECT_EQ((Lines{"Error|Quorlen::CopyFileToSameDriveCopying file failed"}), StopLog());
            EXPECT_EQ(Staged(), source);
        }
        EXPECT_EQ(kOldList, qt::ReadFileBytes(victim));
        if (c.before == kReadOnlyLink) {
            EXPECT_NE(0u, GetFileAttributesA(victim.c_str()) & FILE_ATTRIBUTE_READONLY);
            SetFileAttributesA(victim.c_str(), FILE_ATTRIBUTE_NORMAL);
        }
        holder.Close();
        if (c.before == kRegistered) {
            EXPECT_EQ(kOldList, qt::ReadFileBytes(kWaiting));
        }
        EXPECT_FALSE(qt::FileExists(kRootCopy));
    }
    SetCurrentDirectoryA(qt::ModuleDir().c_str());

    SCOPED_TRACE("staged file missing");
    qt::RemoveFile(kWaiting);
    ASSERT_TRUE(qt::RemoveFile(Staged()));
    PathBuffer source;
    SetFolder(source, Staged());
    StartLog();
    EXPECT_EQ(0, CopyFileToSameDrive(kTarget, source));
    EXPECT_EQ((Lines{"Error|Quorlen::CopyFileToSameDriveCopying file failed"}), StopLog());
    EXPECT_EQ(Staged(), source);
    EXPECT_FALSE(qt::FileExists(kWaiting));
}

TEST_F(ReplaceTest, TracesEveryOperationAtTheMainTraceLevel) {
    // Mask 4: the entering and exiting records of every operation on its success and
    // failure paths, and nothing of the Error level.
    InstallOldList(kDataFolder);
    StartLog(4);
    PathBuffer folder;
    int flag = 0;
    EXPECT_EQ(1, ExtractTXT());
    SetFolder(folder, kDataFolder);
    EXPECT_EQ(1, FileReplace(folder, &flag));
    SetFolder(folder, kDataFolder);
    EXPECT_EQ(0, FileReplace(folder, &flag));  // the date now differs
    SetFolder(folder, "C:\\QuorlenTest");
    EXPECT_EQ(0, FileReplace(folder, &flag));  // absent
    PathBuffer source;
    SetFolder(source, "C:\\QuorlenTest\\missing.txt");
    EXPECT_EQ(0, CopyFileToSameDrive(kTarget, source));
    EXPECT_NE(0, DeleteFilesFromTemp(tempFolder_.c_str()));
    EXPECT_EQ(0, DeleteFilesFromTemp(tempFolder_.c_str()));
    ASSERT_TRUE(qt::CreateFolders(Staged()));  // creation refused
    EXPECT_EQ(0, ExtractTXT());
    const char* extract[] = {"Main Trace|Quorlen::ExtractTXT - Entering",
                             "Main Trace|Quorlen::ExtractTXT - Exiting"};
    const char* remove[] = {"Main Trace|Quorlen::DeleteFilesFromTemp - Entering",
                            "Main Trace|Quorlen::DeleteFilesFromTemp - Exiting"};
    EXPECT_EQ((Lines{extract[0], extract[1],
                     kReplaceEntering, kCheckEntering, kCheckExiting, kReplaceExiting,
                     kReplaceEntering, kCheckEntering, kCheckExiting, kReplaceExiting,
                     kReplaceEntering, kReplaceExiting,
                     remove[0], remove[1], remove[0], remove[1],
                     extract[0], extract[1]}),
              StopLog());
}

// The copy takes the list's DACL only where the two differ: most often both merely
// inherit from the folder, and an account without WRITE_DAC can still replace the list.
TEST(SameDaclTest, OnlyEqualAcesAndProtectionCountAsTheSame) {
    // Descriptors with a DACL of Everyone entries, one per access mask.
    struct Descriptor {
        SECURITY_DESCRIPTOR sd;
        union {
            ACL acl;
            BYTE bytes[512];
        };
        Descriptor(std::initializer_list<DWORD> masks, bool protect, bool nullDacl = false) {
            SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
            BYTE sid[SECURITY_MAX_SID_SIZE];
            InitializeSid(sid, &world, 1);
            *GetSidSubAuthority(sid, 0) = SECURITY_WORLD_RID;
            EXPECT_TRUE(InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION));
            EXPECT_TRUE(InitializeAcl(&acl, sizeof bytes, ACL_REVISION));
            for (DWORD mask : masks) EXPECT_TRUE(AddAccessAllowedAce(&acl, ACL_REVISION, mask, sid));
            EXPECT_TRUE(SetSecurityDescriptorDacl(&sd, TRUE, nullDacl ? nullptr : &acl, FALSE));
            if (protect) {
                EXPECT_TRUE(SetSecurityDescriptorControl(&sd, SE_DACL_PROTECTED, SE_DACL_PROTECTED));
            }
        }
    };
    const DWORD read = FILE_GENERIC_READ, write = FILE_GENERIC_WRITE;
    Descriptor list({read, write}, false);
    Descriptor same({read, write}, false);
    Descriptor more({read, write, GENERIC_ALL}, false);
    Descriptor less({read}, false);
    Descriptor protect({read, write}, true);
    Descriptor open({read, write}, false, true);
    const struct {
        const char* name;
        Descriptor* copy;
        bool same;
    } cases[] = {
        {"equal ACEs: nothing set", &same, true},
        {"an ACE more: set", &more, false},
        {"an ACE less: set", &less, false},
        {"equal, but one protected: set", &protect, false},
        {"a NULL DACL: set", &open, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.same, SameDacl(&list.sd, &c.copy->sd));
        EXPECT_EQ(c.same, SameDacl(&c.copy->sd, &list.sd));
    }
}

}  // namespace
