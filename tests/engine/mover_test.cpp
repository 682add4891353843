// The file mover on real volumes: moves checked by fsck.fat and fatinspect,
// failed writes and flushes, the recheck against other programs' changes,
// and the gap list and move table it keeps. The order of its writes is
// proven by the power-cut sweep in mover_crash_test.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "analysis/chains.h"
#include "common/little_endian.h"
#include "disk/fat_codec.h"
#include "engine/dir_entry.h"
#include "engine/mover.h"
#include "tests/engine/move_volume.h"

namespace quillo {
namespace {

using Op = ScriptedDevice::Op;
using test::FatKind;
using test::OpenedDrive;

#define REQUIRE_FAT_TOOLS() \
    if (!test::HaveFatTools()) GTEST_SKIP() << "mkfs.fat or mtools missing"

// The non-empty gaps, as (start, length), from the list the mover keeps or
// from a fresh walk of the allocation table.
std::vector<std::pair<int32_t, int32_t>> KeptGaps(const EngineContext& ctx) {
    std::vector<std::pair<int32_t, int32_t>> gaps;
    for (int32_t g = 1; g <= ctx.chains.GapCount; ++g)
        if (ctx.chains.GapLength[g] > 0) gaps.emplace_back(ctx.chains.GapStart[g], ctx.chains.GapLength[g]);
    return gaps;
}
std::vector<std::pair<int32_t, int32_t>> TableGaps(const EngineContext& ctx) {
    std::vector<std::pair<int32_t, int32_t>> gaps;
    for (int32_t c = 2; c <= ctx.geo.MaxCluster; ++c) {
        if ((ctx.fat.FatTable[c] & kFatMask) != 0) continue;
        if (!gaps.empty() && gaps.back().first + gaps.back().second == c) ++gaps.back().second;
        else gaps.emplace_back(c, 1);
    }
    return gaps;
}

// A built volume opened as a Defragment run opens it, and the outside
// checkers' word on what the moves left.
class OnVolume : public ::testing::Test {
protected:
    void SetUp() override { REQUIRE_FAT_TOOLS(); }
    // Opens (again) the volume of `kind`; `background` takes level 1 so that moves recheck.
    bool Open(FatKind kind, bool background = false, uint64_t failWrite = 0) {
        volume = &test::BuiltVolume(kind);
        if (volume->image.empty()) return false;
        d = std::make_unique<OpenedDrive>(volume->image, background, 0, failWrite);
        return d->ok;
    }
    EngineContext& ctx() { return d->ctx(); }
    ScriptedDevice& device() { return d->device(); }
    int32_t Record(const std::string& path) { return d->RecordAt(volume->firstCluster.at(path)); }
    int32_t GapFor(int32_t record) { return test::FirstFitGap(ctx(), test::ChainClusters(ctx(), record)); }
    int Writes() { return device().CountOf(Op::Write); }
    test::Verdict Judge() { return test::Judge(device().Image(), dir.File("v.img")); }
    // Empty when every file kept its content and the checkers saw nothing
    // worse than lost clusters or differing table copies.
    std::string Complaint(const test::Verdict& v) { return test::Complaint(v, volume->digest, false); }

    const test::MoveVolume* volume = nullptr;
    std::unique_ptr<OpenedDrive> d;
    test::TempDir dir;
};

// ---- Moves on real volumes ------------------------------------------------------

class MoveOnVolume : public OnVolume, public ::testing::WithParamInterface<FatKind> {};

TEST_P(MoveOnVolume, FilesAndFoldersMoveWithContentsAndVolumeIntact) {
    ASSERT_TRUE(Open(GetParam()));
    const int32_t pendingBefore = ctx().defrag.PendingFragmentedCount;
    int fragmentedMoved = 0;
    int32_t clustersMoved = 0;
    std::vector<int32_t> moved;

    for (const std::string& path : test::ScenarioMoves()) {
        SCOPED_TRACE(path);
        const int32_t record = Record(path);
        ASSERT_NE(record, 0);
        const int32_t n = test::ChainClusters(ctx(), record);
        int32_t gap = test::FirstFitGap(ctx(), n);
        ASSERT_NE(gap, 0);
        const int32_t destination = ctx().chains.GapStart[gap];
        fragmentedMoved += ctx().scan.FileRecords[record].Fragments > 1;

        ASSERT_TRUE(MoveFile(ctx(), record, gap)) << ctx().run.ErrorMessage;
        clustersMoved += n;
        moved.push_back(record);
        const FileRecord& rec = ctx().scan.FileRecords[record];
        EXPECT_EQ(rec.FirstCluster, static_cast<uint32_t>(destination));
        EXPECT_EQ(rec.Fragments, 1);
        RunList runs;
        EXPECT_EQ(FAT_Frag(ctx(), rec.FirstCluster, runs), n);
        EXPECT_EQ(runs.Count(), 1);
        // The list kept move by move is the table's free space, merged.
        EXPECT_EQ(KeptGaps(ctx()), TableGaps(ctx()));
        EXPECT_EQ(gap, ctx().chains.GapCursor);
        EXPECT_GT(ctx().chains.GapLength[ctx().chains.GapCursor], 0);
    }
    const int32_t moves = static_cast<int32_t>(test::ScenarioMoves().size());
    EXPECT_EQ(ctx().defrag.MovedCount, moves);
    EXPECT_EQ(ctx().defrag.MovedClusters, clustersMoved);
    // Two ordering points a move, more where its table writes need them.
    EXPECT_GE(ctx().defrag.Flushes, 2 * moves);
    EXPECT_EQ(ctx().defrag.Flushes, device().CountOf(Op::ResetDrive));
    EXPECT_EQ(ctx().defrag.PendingFragmentedCount, pendingBefore - fragmentedMoved);
    // The move table, in cluster order, names each moved file at its new place.
    EXPECT_EQ(ctx().defrag.MoveCount, moves + 1);
    for (int32_t k = 2; k < ctx().defrag.MoveCount; ++k)
        EXPECT_LT(ctx().defrag.MoveTable[k - 1].key, ctx().defrag.MoveTable[k].key);
    for (int32_t record : moved) {
        const int32_t at = FindInMoveTable(ctx(), static_cast<int32_t>(ctx().scan.FileRecords[record].FirstCluster));
        EXPECT_EQ(ctx().defrag.MoveTable[at].value, record);
    }

    // The outside checkers: clean (so no entry still names a freed run) and
    // every file's content in place.
    const test::Verdict verdict = Judge();
    EXPECT_EQ(verdict.fsckStatus, 0) << verdict.fsckOutput;
    EXPECT_EQ(Complaint(verdict), "");
    EXPECT_FALSE(verdict.lostClusters || verdict.fatCopiesDiffer);
}

INSTANTIATE_TEST_SUITE_P(Fat, MoveOnVolume,
                         ::testing::Values(FatKind::Fat12, FatKind::Fat16FourReserved, FatKind::Fat32),
                         [](const auto& info) {
                             return std::string(info.param == FatKind::Fat12   ? "Fat12"
                                                : info.param == FatKind::Fat32 ? "Fat32"
                                                                               : "Fat16FourReserved");
                         });

// A volume churned by mkfragimg (long names, folders in several runs, files
// of every awkward size): every fragmented file moves into the first gap that
// holds it, the way the defragmenter's first stage would.
TEST(MoveChurnedVolume, EveryFragmentedFileMovesWithItsContent) {
    REQUIRE_FAT_TOOLS();
    test::TempDir dir;
    int entriesBeyondFirstRun = 0;
    for (const char* args : {"--preset floppy", "--fat 16 --size-mb 6 --cluster-sectors 1 --files 120 --dirs 8 --seed 3",
                             "--fat 32 --size-mb 34 --cluster-sectors 1 --files 120 --dirs 8 --seed 9"}) {
        SCOPED_TRACE(args);
        const std::string path = dir.File("churned.img");
        ASSERT_TRUE(test::MakeFragImage(path, args));
        const std::string digest =
            test::JsonField(test::FatinspectJson(path, "--contents-digest"), "contents_digest").value_or("?");
        OpenedDrive d(test::ReadFileBytes(path));
        ASSERT_TRUE(d.ok);
        EngineContext& ctx = d.ctx();
        const int32_t perCluster = ctx.geo.SectorsPerCluster * ctx.geo.DirEntriesPerSector;
        int moved = 0;
        for (int32_t r = 1; r <= ctx.scan.RecordCount && !ctx.run.StopRequested; ++r) {
            const FileRecord& rec = ctx.scan.FileRecords[r];
            if (rec.Fragments < 2 || ctx.scan.RecordFixed[r] == kRecordFixed) continue;
            int32_t gap = test::FirstFitGap(ctx, test::ChainClusters(ctx, r));
            if (gap == 0) continue;
            RunList parentRuns;
            const uint32_t parent = ctx.scan.FileRecords[rec.ParentRecord].FirstCluster;
            FAT_Frag(ctx, parent != 0 ? parent : ctx.geo.RootCluster, parentRuns);
            const bool beyondFirstRun = parentRuns.Count() > 1 && rec.EntryIndex >= parentRuns.RunLength[1] * perCluster;
            ASSERT_TRUE(MoveFile(ctx, r, gap)) << ctx.run.ErrorMessage;
            ++moved;
            entriesBeyondFirstRun += beyondFirstRun;
        }
        EXPECT_GT(moved, 5);
        const test::Verdict verdict = test::Judge(d.device().Image(), dir.File("after.img"));
        EXPECT_EQ(verdict.fsckStatus, 0) << verdict.fsckOutput;
        EXPECT_EQ(test::Complaint(verdict, digest, false), "");
    }
    // Entries that lie in a later run of a fragmented folder were found too.
    EXPECT_GT(entriesBeyondFirstRun, 0);
}

// ---- Write order --------------------------------------------------------------------

using MoveWriteOrder = OnVolume;

TEST_F(MoveWriteOrder, ReplacementFolderWrittenFromTheCallersBytesInTheSameOrder) {
    ASSERT_TRUE(Open(FatKind::Fat16FourReserved));
    const int32_t tree = Record("/TREE");
    const uint32_t sectors = static_cast<uint32_t>(ctx().geo.SectorsPerCluster);
    std::vector<uint8_t> folder(sectors * 512);
    ASSERT_TRUE(device().ReadSectors(ClusterSector(ctx().geo, ctx().scan.FileRecords[tree].FirstCluster), sectors,
                                     folder.data()));
    std::swap_ranges(folder.begin() + 64, folder.begin() + 96, folder.begin() + 96);  // ONE and TWO trade places
    int32_t gap = test::FirstFitGap(ctx(), 1);
    ctx().defrag.ReplacementData = &folder;
    ASSERT_TRUE(MoveFile(ctx(), tree, gap));
    ctx().defrag.ReplacementData = nullptr;

    const uint32_t now = ctx().scan.FileRecords[tree].FirstCluster;
    std::vector<uint8_t> written(folder.size());
    ASSERT_TRUE(device().ReadSectors(ClusterSector(ctx().geo, now), sectors, written.data()));
    put_le16(&folder[26], static_cast<uint16_t>(now));  // "." names the new place
    EXPECT_EQ(written, folder);
    EXPECT_EQ(device().WriteBatches().size(), 3u);
    const test::Verdict verdict = Judge();
    EXPECT_EQ(verdict.fsckStatus, 0) << verdict.fsckOutput;
    EXPECT_EQ(Complaint(verdict), "");
}

// ---- Failed writes and flushes ---------------------------------------------------------

using MoveFailures = OnVolume;

TEST_F(MoveFailures, FailedWriteAtEveryPointStopsWithEveryFileIntact) {
    ASSERT_TRUE(Open(FatKind::Fat16FourReserved));
    const int moves = static_cast<int>(test::ScenarioMoves().size());
    ASSERT_EQ(test::RunScenario(*d, *volume), moves);
    const uint64_t writes = device().WritesCounted();
    ASSERT_GT(writes, 20u);

    test::JudgeCache judge(dir.File("scratch.img"));
    for (uint64_t k = 1; k <= writes; ++k) {
        SCOPED_TRACE("failing write " + std::to_string(k));
        ASSERT_TRUE(Open(FatKind::Fat16FourReserved, false, k));
        EXPECT_LT(test::RunScenario(*d, *volume), moves);
        EXPECT_EQ(ctx().run.ErrorStop, 1);
        EXPECT_TRUE(ctx().run.DiskIoFailed);
        EXPECT_TRUE(ctx().run.StopRequested);
        EXPECT_EQ(device().HeldLevel(), 0);  // the exclusive lock, nothing above it
        EXPECT_EQ(test::Complaint(judge.Of(device().Image()), volume->digest, true), "");
    }
}

TEST_F(MoveFailures, FailedFlushBeforeTheSwitchLeavesTheEntryAlone) {
    ASSERT_TRUE(Open(FatKind::Fat12));
    device().FailResets(1);
    const int32_t record = Record("/FRAG.BIN");
    const uint32_t before = ctx().scan.FileRecords[record].FirstCluster;
    int32_t gap = GapFor(record);
    EXPECT_FALSE(MoveFile(ctx(), record, gap));
    EXPECT_TRUE(ctx().run.DiskIoFailed);
    EXPECT_EQ(ctx().scan.FileRecords[record].FirstCluster, before);
    for (const auto& r : device().Requests()) {
        if (r.op == Op::Write) { EXPECT_NE(r.kind, WriteKind::Directory); }
    }
    const test::Verdict verdict = Judge();
    EXPECT_EQ(Complaint(verdict), "");
    EXPECT_TRUE(verdict.lostClusters);  // the claimed destination, named by nobody
}

// ---- The recheck against other programs' changes ---------------------------------------

// A volume opened at level 1, as with the Background preference, so that each
// move climbs and rechecks. `ChangeEntry` writes the file's directory sector
// the way another program would between the analysis and the move.
class Recheck : public OnVolume {
protected:
    void SetUp() override {
        OnVolume::SetUp();
        if (IsSkipped()) return;
        Reopen();
    }
    void Reopen() {
        ASSERT_TRUE(Open(FatKind::Fat16FourReserved, true));
        ASSERT_FALSE(ctx().dev.Level0Held);
        record = Record("/FRAG.BIN");
        gap = GapFor(record);
    }
    void ChangeEntry(const std::function<void(uint8_t*)>& change) {
        DirEntrySector entry;
        ASSERT_TRUE(LocateDirEntry(ctx(), record, entry));
        change(entry.Entry());
        ASSERT_TRUE(device().WriteSectors(entry.sector, 1, entry.bytes.data(), WriteKind::Directory));
        device().ClearRecord();
    }
    void ExpectLeftInPlace(bool busy) {
        EXPECT_FALSE(MoveFile(ctx(), record, gap));
        EXPECT_EQ(Writes(), 0);
        EXPECT_EQ(ctx().run.ErrorStop, 0);
        EXPECT_EQ(ctx().scan.RecordFixed[record] == kRecordFixed, busy);
        EXPECT_EQ(device().HeldLevel(), 1);
        EXPECT_EQ(ctx().defrag.MovedCount, 0);
    }

    int32_t record = 0;
    int32_t gap = 0;
};

TEST_F(Recheck, EntryChangedBehindOurBackLeavesTheFileBusy) {
    const uint32_t p3 = volume->firstCluster.at("/P3");
    const struct {
        const char* what;
        std::function<void(uint8_t*)> change;
        uint32_t firstClusterAfter;  // 0: as before
    } cases[] = {
        {"erased", [](uint8_t* e) { e[0] = 0xE5; }, 0},
        {"names another cluster", [&](uint8_t* e) { put_le16(e + 26, static_cast<uint16_t>(p3)); }, p3},
        {"rewritten with another size", [](uint8_t* e) { put_le32(e + 28, le32(e + 28) + 1); }, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Reopen();
        const uint32_t before = ctx().scan.FileRecords[record].FirstCluster;
        ChangeEntry(c.change);
        ExpectLeftInPlace(true);
        EXPECT_EQ(ctx().scan.FileRecords[record].FirstCluster, c.firstClusterAfter ? c.firstClusterAfter : before);
    }
}

TEST_F(Recheck, DestinationTakenMeanwhileRebuildsTheGapList) {
    const int32_t destination = ctx().chains.GapStart[gap];
    std::vector<uint8_t> fat(512);
    const uint32_t fatSector = static_cast<uint32_t>(ctx().geo.ReservedSectors + destination / 256);
    ASSERT_TRUE(device().ReadSectors(fatSector, 1, fat.data()));
    put_le16(&fat[(destination % 256) * 2], 0xFFFF);  // another program's one-cluster file
    ASSERT_TRUE(device().WriteSectors(fatSector, 1, fat.data(), WriteKind::AllocationTable));
    device().ClearRecord();
    ExpectLeftInPlace(false);
    EXPECT_EQ(ctx().chains.GapStart[gap], destination + 1);
}

TEST_F(Recheck, FileOpenForWritingElsewhereIsLeftAlone) {
    device().SetOpenFiles({{"C:\\FRAG.BIN", 3}});
    device().QueueLockFlags({2});  // a new mapping: the busy list is read again
    ExpectLeftInPlace(true);
}

TEST_F(Recheck, FileMappedReadOnlyMovesOneClusterAtATime) {
    device().SetOpenFiles({{"C:\\FRAG.BIN", 2}});
    device().QueueLockFlags({2});
    const int32_t n = test::ChainClusters(ctx(), record);
    ASSERT_TRUE(MoveFile(ctx(), record, gap));
    int dataWrites = 0;
    for (const auto& r : device().Requests())
        if (r.op == Op::Write && r.kind == WriteKind::FileData) ++dataWrites;
    EXPECT_EQ(dataWrites, n);
    EXPECT_EQ(device().HeldLevel(), 1);
    EXPECT_EQ(Complaint(Judge()), "");
}

// ---- Internal errors stop the run before anything is written ---------------------------

using MoveInternalErrors = OnVolume;

TEST_F(MoveInternalErrors, StopBeforeAnythingIsWritten) {
    const auto expectStoppedUnwritten = [&](const char* message) {
        if (*message) {
            EXPECT_EQ(ctx().run.ErrorMessage, message);
        }
        EXPECT_TRUE(ctx().run.StopRequested);
        EXPECT_EQ(Writes(), 0);
    };
    {
        SCOPED_TRACE("destination cluster in use");
        ASSERT_TRUE(Open(FatKind::Fat12));
        const std::vector<uint32_t> table = ctx().fat.FatTable;
        EXPECT_FALSE(MarkAndWriteChain(ctx(), static_cast<int32_t>(volume->firstCluster.at("/P3")) - 1, 3));
        expectStoppedUnwritten("Invalid MarkChain");
        EXPECT_EQ(ctx().fat.FatTable, table);
    }
    {
        SCOPED_TRACE("replacement of another size than the file");
        ASSERT_TRUE(Open(FatKind::Fat12));
        const std::vector<uint8_t> replacement(512);
        ctx().defrag.ReplacementData = &replacement;
        const int32_t record = Record("/FRAG.BIN");
        int32_t gap = GapFor(record);
        EXPECT_FALSE(MoveFile(ctx(), record, gap));
        EXPECT_TRUE(ctx().run.InternalError);
        expectStoppedUnwritten("");
    }
    {
        SCOPED_TRACE("entry no longer names the file, exclusive lock");
        ASSERT_TRUE(Open(FatKind::Fat12));
        const int32_t record = Record("/FRAG.BIN");
        DirEntrySector entry;
        ASSERT_TRUE(LocateDirEntry(ctx(), record, entry));
        put_le16(entry.Entry() + 26, static_cast<uint16_t>(volume->firstCluster.at("/P3")));
        ASSERT_TRUE(device().WriteSectors(entry.sector, 1, entry.bytes.data(), WriteKind::Directory));
        device().ClearRecord();
        int32_t gap = GapFor(record);
        EXPECT_FALSE(MoveFile(ctx(), record, gap));
        EXPECT_EQ(ctx().run.ErrorStop, 1);
        expectStoppedUnwritten("Invalid fixup subdir");
    }
}

// ---- The gap list ------------------------------------------------------------------------

struct ExtentCase {
    const char* name;
    std::vector<std::pair<int32_t, int32_t>> gaps;  // (start, length), in order
    int32_t cursor;
    std::pair<int32_t, int32_t> freed;
    std::vector<std::pair<int32_t, int32_t>> expected;
    int32_t expectedCursor;
};

TEST(AddFreeExtent, KeepsTheListSortedMergedAndTheCursorOnTheFirstFreeGap) {
    const ExtentCase cases[] = {
        {"between two, touching neither", {{10, 5}, {40, 5}}, 1, {20, 3}, {{10, 5}, {20, 3}, {40, 5}}, 1},
        {"grows the gap before", {{10, 5}, {40, 5}}, 1, {15, 3}, {{10, 8}, {40, 5}}, 1},
        {"grows the gap after downwards", {{10, 5}, {40, 5}}, 1, {37, 3}, {{10, 5}, {37, 8}}, 1},
        {"joins both", {{10, 5}, {18, 5}}, 1, {15, 3}, {{10, 13}}, 1},
        {"before every gap", {{10, 5}}, 1, {3, 2}, {{3, 2}, {10, 5}}, 1},
        {"into an empty list", {}, 1, {7, 4}, {{7, 4}}, 1},
        {"over filled gaps it joins across", {{10, 5}, {16, 0}, {20, 0}, {30, 5}}, 4, {15, 15}, {{10, 25}}, 1},
        {"drops filled gaps it meets", {{10, 0}, {20, 0}, {30, 5}}, 3, {22, 2}, {{22, 2}, {30, 5}}, 1},
        {"leaves the cursor before it", {{10, 0}, {20, 5}, {40, 5}}, 2, {50, 1}, {{10, 0}, {20, 5}, {40, 5}, {50, 1}}, 2},
        {"cursor passes filled gaps", {{10, 0}, {20, 0}, {40, 5}}, 3, {60, 1}, {{10, 0}, {20, 0}, {40, 5}, {60, 1}}, 3},
    };
    for (const ExtentCase& c : cases) {
        SCOPED_TRACE(c.name);
        testing::ScriptedDrive drive;
        ChainState& chains = drive.ctx.chains;
        chains.GapStart.assign(c.gaps.size() + 1, 0);  // full: an insert must grow it
        chains.GapLength.assign(c.gaps.size() + 1, 0);
        for (size_t k = 0; k < c.gaps.size(); ++k) {
            chains.GapStart[k + 1] = c.gaps[k].first;
            chains.GapLength[k + 1] = c.gaps[k].second;
        }
        chains.GapCount = static_cast<int32_t>(c.gaps.size());
        chains.GapCursor = c.cursor;
        AddFreeExtent(drive.ctx, c.freed.first, c.freed.second);
        std::vector<std::pair<int32_t, int32_t>> got;
        for (int32_t g = 1; g <= chains.GapCount; ++g) got.emplace_back(chains.GapStart[g], chains.GapLength[g]);
        EXPECT_EQ(got, c.expected);
        EXPECT_EQ(chains.GapCursor, c.expectedCursor);
    }
}

TEST(AddFreeExtent, GapReachingTheSmallestUnplacedFileIsReported) {
    testing::ScriptedDrive drive;
    ChainState& chains = drive.ctx.chains;
    chains.GapStart = {0, 10, 40};
    chains.GapLength = {0, 5, 5};
    chains.GapCount = 2;
    drive.ctx.defrag.SmallestUnplaced = 12;
    AddFreeExtent(drive.ctx, 30, 3);  // a gap of 3
    EXPECT_FALSE(drive.ctx.defrag.BigGapAppeared);
    AddFreeExtent(drive.ctx, 15, 3);  // 10..17: 8
    EXPECT_FALSE(drive.ctx.defrag.BigGapAppeared);
    AddFreeExtent(drive.ctx, 33, 7);  // 30..44: 15
    EXPECT_TRUE(drive.ctx.defrag.BigGapAppeared);
}

// ---- The move table ------------------------------------------------------------------------

class MoveTable : public ::testing::Test {
protected:
    MoveTable() {
        drive.ctx.scan.FileRecords.resize(2000);
        drive.ctx.scan.RecordCount = 1999;
    }
    // Record r moves from its current first cluster to `to`.
    void Move(int32_t r, uint32_t to) {
        FileRecord& rec = drive.ctx.scan.FileRecords[r];
        const int32_t old = static_cast<int32_t>(rec.FirstCluster);
        rec.FirstCluster = to;
        RecordMove(drive.ctx, r, old);
    }
    std::vector<std::pair<int32_t, int32_t>> Entries() const {
        std::vector<std::pair<int32_t, int32_t>> e;
        for (int32_t k = 1; k < drive.ctx.defrag.MoveCount; ++k)
            e.emplace_back(drive.ctx.defrag.MoveTable[k].key, drive.ctx.defrag.MoveTable[k].value);
        return e;
    }
    testing::ScriptedDrive drive;
};

TEST_F(MoveTable, KeepsFilesInOrderOfTheirNewClusterAndFollowsAFileMovedAgain) {
    EXPECT_EQ(FindInMoveTable(drive.ctx, 500), 0);
    drive.ctx.scan.FileRecords[7].FirstCluster = 900;
    Move(7, 300);
    Move(8, 100);
    Move(9, 700);
    Move(10, 500);
    EXPECT_EQ(Entries(), (std::vector<std::pair<int32_t, int32_t>>{{100, 8}, {300, 7}, {500, 10}, {700, 9}}));
    Move(7, 800);  // moved again: its entry follows it to the end
    Move(9, 50);   // and to the front
    EXPECT_EQ(Entries(), (std::vector<std::pair<int32_t, int32_t>>{{50, 9}, {100, 8}, {500, 10}, {800, 7}}));
    Move(10, 500);  // not moved: nothing changes
    EXPECT_EQ(drive.ctx.defrag.MoveCount, 5);
    for (auto [cluster, record] : Entries())
        EXPECT_EQ(drive.ctx.defrag.MoveTable[FindInMoveTable(drive.ctx, cluster)].value, record);
    EXPECT_EQ(drive.ctx.run.ErrorStop, 0);
}

TEST_F(MoveTable, TwoFilesAtOneClusterStopTheRun) {
    Move(1, 100);
    Move(2, 100);
    EXPECT_EQ(drive.ctx.run.ErrorMessage, "Xlinked MoveT1");
    EXPECT_TRUE(drive.ctx.run.InternalError);
    EXPECT_EQ(drive.ctx.run.ErrorStop, 1);

    testing::ScriptedDrive other;
    other.ctx.scan.FileRecords.resize(4);
    other.ctx.scan.RecordCount = 3;
    other.ctx.scan.FileRecords[1].FirstCluster = 100;
    RecordMove(other.ctx, 1, 40);
    other.ctx.scan.FileRecords[2].FirstCluster = 200;
    RecordMove(other.ctx, 2, 100);  // claims to come from where file 1 is
    EXPECT_EQ(other.ctx.run.ErrorMessage, "Xlinked MoveT2");
    EXPECT_TRUE(other.ctx.run.StopRequested);
}

TEST_F(MoveTable, TheEntryAfterThe1022ndOverflows) {
    for (int32_t r = 1; r <= 1022; ++r) Move(r, static_cast<uint32_t>(10 * r));
    EXPECT_EQ(drive.ctx.defrag.MoveCount, 1023);
    EXPECT_EQ(drive.ctx.run.ErrorStop, 0);
    Move(1500, 5);
    EXPECT_EQ(drive.ctx.run.ErrorMessage, "MovedT_Ovfl");
    EXPECT_TRUE(drive.ctx.run.InternalError);
    EXPECT_EQ(drive.ctx.defrag.MoveCount, 1023);
}

}  // namespace
}  // namespace quillo
