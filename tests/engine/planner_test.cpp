// The defragment planner's decisions on volumes built as tables only: a
// stand-in mover updates the tables the way the real one does, so every
// test can read the resulting layout back from the allocation table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <numeric>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "analysis/chains.h"
#include "common/engine_context.h"
#include "disk/fat_codec.h"
#include "engine/mover.h"
#include "engine/planner.h"
#include "engine/planner_choice.h"
#include "engine/planner_defrag.h"
#include "engine/planner_pack.h"
#include "engine/planner_room.h"
#include "engine/remaining_fragmented.h"
#include "engine/run_driver.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/test_images.h"

namespace quillo {
namespace {

constexpr int32_t kNoLimit = 0x7FFFFFFF;

class PanelView : public testing::RecordingView {
public:
    void SetStatusPair(int pair, const std::string& caption, const std::string& value) override {
        panel.push_back(std::to_string(pair) + " " + caption + value);
    }
    std::vector<std::string> panel;
};

struct Move {
    int32_t record, to, moveCountBefore;
};

// In a layout string each character is one cluster from cluster 2 on: '.'
// free, 'A'..'Z' records 1..26, 'a'..'z' records 27..52 (fixed). A record's
// chain runs through its clusters in disk order.
int32_t RecordOf(char c) { return std::isupper(c) ? c - 'A' + 1 : std::islower(c) ? c - 'a' + 27 : 0; }

// A volume as tables only; clusters 2.. owned as `owners` says (0: free).
class TableVolume {
public:
    TableVolume(const std::vector<int32_t>& owners, const std::set<int32_t>& fixed, int32_t spc = 1)
        : device_(std::vector<uint8_t>(kSectorSize)), provider_(&device_), ctx(view, clock_, provider_),
          planner(ctx, [this](EngineContext&, int32_t r, int32_t& g) { return FakeMove(r, g); }) {
        Geometry& geo = ctx.geo;
        geo.SectorsPerCluster = spc;
        geo.BytesPerCluster = spc * 512;
        geo.TotalClusters = static_cast<int32_t>(owners.size());
        geo.MaxCluster = geo.TotalClusters + 1;
        geo.ClustersPer4K = std::max(1, 4096 / geo.BytesPerCluster);
        ctx.chains.MapCells.assign(static_cast<size_t>(geo.MaxCluster) + 2, kCellFiles);
        std::vector<uint32_t>& table = ctx.fat.FatTable;
        table.assign(static_cast<size_t>(geo.MaxCluster) + 1, 0);
        table[0] = kFatEndOfChain;
        table[1] = kFatMask;
        ScanState& scan = ctx.scan;
        scan.RecordCount = *std::max_element(owners.begin(), owners.end());
        scan.FileRecords.assign(static_cast<size_t>(scan.RecordCount) + 1, FileRecord{});
        scan.RecordFixed.assign(scan.FileRecords.size(), 0);
        std::vector<int32_t> last(scan.FileRecords.size(), 0);
        for (int32_t c = 2; c <= geo.MaxCluster; ++c) {
            const int32_t r = owners[c - 2];
            if (r == 0) continue;
            FileRecord& rec = scan.FileRecords[r];
            if (last[r] == 0) rec.FirstCluster = static_cast<uint32_t>(c);
            if (last[r] != 0) table[last[r]] = static_cast<uint32_t>(c);
            if (last[r] + 1 != c) ++rec.Fragments;
            table[c] = kFatMask;
            last[r] = c;
            rec.Size += static_cast<uint32_t>(geo.BytesPerCluster);
        }
        for (int32_t r = 1; r <= scan.RecordCount; ++r) {
            const bool isFixed = fixed.count(r) != 0;
            scan.RecordFixed[r] = isFixed ? kRecordFixed : 0;
            scan.FixedCount += isFixed ? 1 : 0;
            ctx.chains.FragmentedFiles += scan.FileRecords[r].Fragments > 1 ? 1 : 0;
            scan.LeftFragmentedCount += isFixed && scan.FileRecords[r].Fragments > 1 ? 1 : 0;
        }
        BuildGapTable(ctx, true);
        BuildPackClassLimit(ctx);
    }

    explicit TableVolume(const std::string& layout, int32_t spc = 1) : TableVolume(OwnersOf(layout), FixedOf(layout), spc) {}

    // The layout read back from the allocation table.
    std::string Layout() const {
        std::string out(static_cast<size_t>(ctx.geo.TotalClusters), '.');
        for (int32_t r = 1; r <= ctx.scan.RecordCount; ++r)
            for (uint32_t c = ctx.scan.FileRecords[r].FirstCluster; c >= 2 && c < kFatEndOfChain;
                 c = ctx.fat.FatTable[c] & kFatMask)
                out[c - 2] = static_cast<char>(r <= 26 ? 'A' + r - 1 : r <= 52 ? 'a' + r - 27 : '#');
        return out;
    }

    // The gap list the moves kept up must be the one the table gives.
    void ExpectGapsMatchTable() {
        auto gaps = [this](bool skipEmpty) {
            std::vector<std::pair<int32_t, int32_t>> list;
            for (int32_t g = 1; g <= ctx.chains.GapCount; ++g)
                if (!skipEmpty || ctx.chains.GapLength[g] > 0)
                    list.emplace_back(ctx.chains.GapStart[g], ctx.chains.GapLength[g]);
            return list;
        };
        const auto kept = gaps(true);
        BuildGapTable(ctx, false);
        EXPECT_EQ(kept, gaps(false));
    }

    void PrepareCandidates() {
        CollectCandidates(ctx);
        BucketCandidates(ctx);
    }

    FakeClock clock_{12 * 3600.0, 0.5};
    ScriptedDevice device_;
    testing::SingleDriveProvider provider_;
    PanelView view;
    EngineContext ctx;
    Planner planner;
    std::vector<Move> moves;

private:
    static std::vector<int32_t> OwnersOf(const std::string& layout) {
        std::vector<int32_t> owners(layout.size());
        std::transform(layout.begin(), layout.end(), owners.begin(), RecordOf);
        return owners;
    }
    static std::set<int32_t> FixedOf(const std::string& layout) {
        std::set<int32_t> fixed;
        for (char c : layout)
            if (std::islower(c)) fixed.insert(RecordOf(c));
        return fixed;
    }

    // What MoveFile does to the tables: claim the gap's start, switch the
    // record, free the old runs into the gap list, note the move.
    bool FakeMove(int32_t record, int32_t& gap) {
        DefragState& defrag = ctx.defrag;
        ChainState& chains = ctx.chains;
        std::vector<uint32_t>& table = ctx.fat.FatTable;
        const int32_t d = chains.GapStart[gap];
        moves.push_back(Move{record, d, defrag.MoveCount});
        FileRecord& rec = ctx.scan.FileRecords[record];
        RunList runs;
        const int32_t n = FAT_Frag(ctx, rec.FirstCluster, runs);
        EXPECT_GE(chains.GapLength[gap], n) << "record " << record;
        for (int32_t c = d; c < d + n; ++c) {
            EXPECT_EQ(table[c] & kFatMask, 0u) << "destination " << c << " taken";
            table[c] = c + 1 < d + n ? static_cast<uint32_t>(c + 1) : kFatMask;
        }
        if (rec.Fragments > 1) --defrag.PendingFragmentedCount;
        const int32_t old = static_cast<int32_t>(rec.FirstCluster);
        rec.Fragments = 1;
        rec.FirstCluster = static_cast<uint32_t>(d);
        for (int32_t i = 1; i <= runs.Count(); ++i)
            std::fill_n(table.begin() + runs.RunStart[i], runs.RunLength[i], 0u);
        chains.GapStart[gap] += n;
        chains.GapLength[gap] -= n;
        for (int32_t i = 1; i <= runs.Count(); ++i) AddFreeExtent(ctx, runs.RunStart[i], runs.RunLength[i]);
        ++defrag.MovedCount;
        defrag.MovedClusters += n;
        RecordMove(ctx, record, old);
        gap = chains.GapCursor;
        return true;
    }
};

// Layout helper: `n` clusters of `c`.
std::string Repeat(char c, int n) { return std::string(static_cast<size_t>(n), c); }

TEST(PlannerDefrag, RoundsWith8SectorsPerClusterTakeFrom2048ClustersDownTo16ThenEverySize) {
    // In disk order a file of 2 clusters, then for T = 16 .. 2048 files of
    // T-1 and T clusters, each in two runs split by the fixed z.
    std::vector<int32_t> sizes{2};
    for (int32_t t = 16; t <= 2048; t *= 2) sizes.insert(sizes.end(), {t - 1, t});
    std::string layout;
    char letter = 'A';
    for (int32_t size : sizes) {
        layout += Repeat(letter, size - 1) + "z" + letter;
        ++letter;
    }
    TableVolume v(layout + Repeat('.', 8200), 8);
    v.ctx.defrag.PendingFragmentedCount = 17;  // z stays where it is
    ASSERT_TRUE(BuildFragList(v.ctx));
    DefragFragmentedFiles(v.planner, false);

    std::vector<int32_t> moved;
    for (const Move& m : v.moves) moved.push_back(RecordClusters(v.ctx, m.record));
    EXPECT_EQ(moved, (std::vector<int32_t>{2048, 1024, 2047, 512, 1023, 256, 511, 128, 255, 64, 127, 32,
                                           63, 16, 31, 2, 15}));
    EXPECT_EQ(v.ctx.defrag.PendingFragmentedCount, 0);
    EXPECT_EQ(v.ctx.defrag.SmallestUnplaced, kNoLimit);
    EXPECT_EQ(v.ctx.defrag.MoveCount, 1);  // emptied after every move
    v.ExpectGapsMatchTable();
}

TEST(PlannerDefrag, FileLargerThanEveryGapIsLeftAndLowersTheCeilingForTheRound) {
    // Sizes below 16 clusters meet only the last round, where a file that
    // finds no gap does not end the round. A (10) fits no gap; B (12) is then
    // not even tried; C (3) still moves.
    TableVolume v("AAAAAaAAAAAbBBBBBBcBBBBBBdCeCC" + Repeat('.', 9), 8);
    v.ctx.defrag.PendingFragmentedCount = 3;
    ASSERT_TRUE(BuildFragList(v.ctx));
    DefragFragmentedFiles(v.planner, false);

    ASSERT_EQ(v.moves.size(), 1u);
    EXPECT_EQ(v.moves[0].record, RecordOf('C'));
    EXPECT_EQ(v.Layout(), "AAAAAaAAAAAbBBBBBBcBBBBBBd.e..CCC......");
    EXPECT_EQ(v.ctx.defrag.SmallestUnplaced, 10);  // 12 had B been tried
    EXPECT_FALSE(v.ctx.defrag.BigGapAppeared);
    EXPECT_EQ(v.ctx.defrag.PendingFragmentedCount, 2);
}

TEST(PlannerDefrag, BestFitGapIsTheSmallestThatHoldsTheFileFirstAmongEquals) {
    std::string layout = "A";  // gaps of 6, 3, 9, 6, 4, 3 clusters from cluster 3 on
    for (int length : {6, 3, 9, 6, 4, 3}) layout += Repeat('.', length) + "A";
    TableVolume v(layout);
    int32_t start = -1;
    EXPECT_EQ(FindBestFitGap(v.ctx, 1, 5, start), 1);  // 6 and 6: the nearer one
    EXPECT_EQ(start, 3);
    EXPECT_EQ(FindBestFitGap(v.ctx, 1, 3, start), 2);  // exact fit, first of two
    EXPECT_EQ(FindBestFitGap(v.ctx, 3, 3, start), 6);
    EXPECT_EQ(start, 36);
    EXPECT_EQ(FindBestFitGap(v.ctx, 1, 4, start), 5);  // exact fit after a larger one
    EXPECT_EQ(FindBestFitGap(v.ctx, 1, 10, start), 0);
    EXPECT_EQ(FindBestFitGap(v.ctx, 7, 1, start), 0);
}

TEST(PlannerPhase, FragmentedFileGoesToBestGapThenFilesArePacked) {
    TableVolume v("AAB.A..CC....");
    RunDefragmentPhase(v.planner);

    EXPECT_EQ(v.Layout(), "CCBAAA.......");
    ASSERT_EQ(v.moves.size(), 3u);
    EXPECT_EQ(v.moves[0].record, RecordOf('A'));
    EXPECT_EQ(v.moves[0].to, 11);  // the only gap of 3 or more
    EXPECT_EQ(v.view.panel, (std::vector<std::string>{"1 Fragments: 1", "2 Gaps: 2"}));
    EXPECT_EQ(v.view.log, (std::vector<std::string>{"Fragmented Files = 0", "Gaps = 0"}));
    v.ExpectGapsMatchTable();
}

// A fragmented file that no gap holds once packing has settled: the free
// space split by one movable file is joined by moving that file elsewhere.
TEST(PlannerRoom, MovableFileSplittingTheFreeSpaceGoesElsewhereForTheWaitingFile) {
    TableVolume v("AAAzAAAC.z...B...");
    v.ctx.defrag.PendingFragmentedCount = 1;
    ASSERT_TRUE(BuildFragList(v.ctx));
    ASSERT_TRUE(MakeRoomForWaitingFiles(v.planner));
    EXPECT_EQ(v.Layout(), "...z...CBzAAAAAA.");
    EXPECT_EQ(v.ctx.defrag.PendingFragmentedCount, 0);
    v.ExpectGapsMatchTable();

    // Split by fixed files only: nothing can be made, nothing moves.
    TableVolume fixedOnly("AAAzAAA...y...");
    fixedOnly.ctx.defrag.PendingFragmentedCount = 1;
    ASSERT_TRUE(BuildFragList(fixedOnly.ctx));
    EXPECT_FALSE(MakeRoomForWaitingFiles(fixedOnly.planner));
    EXPECT_TRUE(fixedOnly.moves.empty());
}

TEST(PlannerPhase, NothingMovedIsLoggedWithBusyFilesAndWhatStaysFragmented) {
    // b is busy and fragmented; everything else is packed already.
    TableVolume v("AAAbBb" + Repeat('.', 5));
    RunDefragmentPhase(v.planner);

    EXPECT_TRUE(v.moves.empty());
    EXPECT_EQ(v.view.log, (std::vector<std::string>{"Busy Files=1", "Fragmented Files = 1", "Gaps = 0",
                                                    "(Nothing done)"}));
    EXPECT_EQ(v.view.labels, (std::vector<std::string>{"show 10", "show 11", "hide 10", "hide 11"}));
}

TEST(PlannerPack, ExactGapIsFilledAtOnceByTheCandidateWithFreeSpaceOnBothSides) {
    // No fragmented files: only packing runs. D lies nearest the end, but C
    // has free clusters on both sides, so C fills the first gap.
    TableVolume v("A...BB.CCC.DDDE....");
    RunDefragmentPhase(v.planner);

    ASSERT_FALSE(v.moves.empty());
    EXPECT_EQ(v.moves[0].record, RecordOf('C'));
    EXPECT_EQ(v.moves[0].to, 3);
    EXPECT_EQ(v.ctx.defrag.FragList.size(), 1u);  // the defragmenting stage was skipped
    EXPECT_EQ(v.Layout(), "ACCCBBDDDE.........");
    v.ExpectGapsMatchTable();
}

TEST(PlannerPack, PassEndsAfter254MovesAndTheNextPassGoesOn) {
    const int32_t files = 300;
    std::vector<int32_t> owners(static_cast<size_t>(files), 0);
    for (int32_t r = 1; r <= files; ++r) owners.push_back(r);
    owners.insert(owners.end(), 50, 0);
    TableVolume v(owners, {});
    RunDefragmentPhase(v.planner);

    ASSERT_EQ(v.moves.size(), static_cast<size_t>(files));
    // The move table fills up to 254 entries, then a new pass starts it afresh.
    EXPECT_EQ(v.moves[253].moveCountBefore, 254);
    EXPECT_EQ(v.moves[254].moveCountBefore, 1);
    for (const Move& m : v.moves) EXPECT_LT(m.moveCountBefore, 255);
    EXPECT_EQ(v.Layout().find('.'), static_cast<size_t>(files));  // packed to the start
    v.ExpectGapsMatchTable();
}

TEST(PlannerChoice, CloseGapCandidateShiftsTheFilesUpToTheNextGapWhenTheyFit) {
    const struct {
        const char* layout;
        int32_t expected;
    } cases[] = {
        {"A...BBC.......", RecordOf('B')},  // B and C fill the gap of 3; allowance 7 / 3
        {"A...BBC.....", 0},                // allowance 5 / 3 = 1 covers B only
        {"A...BBCC............", 0},        // B and C need 4
        {"A...bBC.......", 0},              // a busy file right after the gap
        {"A.Bzzzzz...", RecordOf('B')},     // 6 clusters to the next gap: near enough
        {"A.Bzzzzzzzzzzzzzzzzzzzz...", 0},  // 21: too far for a gap of 1
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout);
        TableVolume v(c.layout);
        v.PrepareCandidates();
        EXPECT_EQ(CloseGapCandidate(v.ctx, 1), c.expected);
        EXPECT_EQ(CloseGapCandidate(v.ctx, v.ctx.chains.GapCount), 0);  // the last gap
    }
}

TEST(PlannerChoice, SlideIntoGapOffersTheFileAfterTheGapWhenTheRoomLeftIsUseful) {
    TableVolume v("zzzzzzzz..BB.DD....");
    v.PrepareCandidates();
    EXPECT_EQ(SlideIntoGap(v.ctx, 1), RecordOf('B'));
    EXPECT_EQ(v.ctx.defrag.BestFitSize, 2);

    TableVolume early("A..BB.DD" + Repeat('z', 14) + "...");
    early.PrepareCandidates();
    EXPECT_EQ(SlideIntoGap(early.ctx, 1), 0);  // the gap lies in the volume's first half
}

TEST(PlannerChoice, MoveBlockerBackTakesTheLastGapThatHoldsTheFileOrAnExactFit) {
    // After the move B is back in its bucket at its new place: first when nearest the end.
    const struct {
        const char *layout, *after;
        char bucketHead;
    } cases[] = {{"A..BB...CC.....", "A.......CCBB...", 'B'}, {"A..BB..CC.....", "A....BBCC.....", 'C'}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.layout);
        TableVolume v(c.layout);
        v.PrepareCandidates();
        int32_t gap = 1;
        EXPECT_EQ(MoveBlockerBack(v.planner, gap), RecordOf('B'));
        EXPECT_EQ(v.Layout(), c.after);
        EXPECT_EQ(gap, v.ctx.chains.GapCursor);
        EXPECT_EQ(v.ctx.defrag.Candidates[v.ctx.defrag.BucketHead[2]].value, RecordOf(c.bucketHead));
        v.ExpectGapsMatchTable();
    }
}

TEST(PlannerSort, QuickSortOrdersCandidatesAsTheShellSortDoes) {
    std::mt19937 random(7);
    for (int32_t n : {2, 3, 101, 500}) {
        std::vector<SortPair> table(1);
        std::vector<int32_t> keys(static_cast<size_t>(n) * 3);
        std::iota(keys.begin(), keys.end(), 2);
        std::shuffle(keys.begin(), keys.end(), random);
        for (int32_t i = 0; i < n; ++i) table.push_back(SortPair{keys[i], i + 1});
        std::vector<SortPair> shell = table;
        QuickSortPairs(table, n);
        SortPairs(shell, n, nullptr);
        for (int32_t i = 1; i <= n; ++i) {
            EXPECT_EQ(table[i].key, shell[i].key) << n << " at " << i;
            EXPECT_EQ(table[i].value, shell[i].value) << n << " at " << i;
        }
    }
}

TEST(RemainingFragmented, ListsWhatStayedFragmentedUpToTheFilesNotListedYet) {
    if (!test::HaveFatTools()) GTEST_SKIP() << "mkfs.fat or mtools missing";
    test::TempDir dir;
    const std::string image = dir.File("vol.img");
    ASSERT_TRUE(test::MakeFragImage(image, "--fat 16 --size-mb 16 --files 60 --dirs 4 --seed 9 --churn 2"));
    const std::string inspected = test::FatinspectJson(image, "--list");
    const int64_t fragmented = *test::JsonNumber(inspected, "fragmented_files");
    ASSERT_GE(fragmented, 3);
    // The stored 8.3 names of the fragmented files and folders (those in
    // plain ASCII: the others differ only in how the names are decoded).
    std::multiset<std::string> expected;
    const std::string entries = *test::JsonField(inspected, "entries");
    for (size_t i = 0;; ++i) {
        const std::optional<std::string> item = test::JsonArrayItem(entries, i);
        if (!item) break;
        const std::string name = *test::JsonField(*item, "short");
        const bool ascii = std::all_of(name.begin(), name.end(),
                                       [](char c) { return c > ' ' && c < 127 && c != '\\'; });
        if (*test::JsonNumber(*item, "fragments") > 1 && ascii) expected.insert(name);
    }
    ASSERT_FALSE(expected.empty());

    for (int alreadyListed : {0, 2}) {
        SCOPED_TRACE(alreadyListed);
        testing::ScriptedDrive drive(test::ReadFileBytes(image));
        EngineContext& ctx = drive.ctx;
        ctx.run.RunMode = 1;
        ctx.run.ScanFiles = true;
        ctx.run.DriveMenuIndex = 1;
        // The phase without moves: everything fragmented stays so.
        RunDrive(ctx, [alreadyListed](EngineContext& c) {
            c.defrag.PendingFragmentedCount = c.chains.FragmentedFiles - c.scan.LeftFragmentedCount;
            BuildFragList(c);
            for (int i = 0; i < alreadyListed; ++i) c.lists.Fragmented.push_back({"C:\\BUSY\t (busy)\t1KB", false});
        });  // the driver lists what is left after the phase
        ASSERT_EQ(ctx.run.ErrorStop, 0) << ctx.run.ErrorMessage;
        ASSERT_EQ(static_cast<int64_t>(ctx.lists.Fragmented.size()), fragmented);
        std::multiset<std::string> listed;
        for (size_t i = static_cast<size_t>(alreadyListed); i < ctx.lists.Fragmented.size(); ++i) {
            // "C:\\DIR\\NAME.EXT<TAB>note<TAB>size": keep NAME.EXT.
            const std::string line = ctx.lists.Fragmented[i].line;
            const std::string path = line.substr(0, line.find('\t'));
            EXPECT_EQ(path.rfind("C:\\", 0), 0u) << line;
            listed.insert(path.substr(path.rfind('\\') + 1));
        }
        if (alreadyListed != 0) continue;
        for (const std::string& name : expected) EXPECT_EQ(listed.count(name), expected.count(name)) << name;
    }
}

}  // namespace
}  // namespace quillo
