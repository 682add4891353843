#include "analysis/cell_map.h"

#include <gtest/gtest.h>

#include <climits>
#include <utility>
#include <vector>

#include "common/engine_context.h"
#include "disk/fat_codec.h"
#include "tests/support/engine_fixture.h"

namespace quillo {
namespace {

using Paints = std::vector<std::pair<int32_t, int>>;  // (cell, category) as drawn

class PaintLog : public testing::RecordingView {
public:
    void PaintMapCell(int32_t cell, uint8_t category) override { paints.emplace_back(cell, category); }
    Paints paints;
};

// A map of `total` clusters at `perCell` clusters a cell, sized as the run
// driver sizes it.
class CellMapTest : public ::testing::Test {
protected:
    void Map(int32_t total, int32_t perCell) {
        ctx.geo.MaxCluster = total + 1;
        ctx.fat.FatTable.assign(total + 2, 0);
        ctx.chains.ClustersPerCell = perCell;
        ctx.chains.MapCells.assign(total / perCell + 2, kCellNone);
    }
    // Paints runs given as (start, length) and returns what was drawn.
    Paints Runs(const std::vector<std::pair<int32_t, int32_t>>& runs, int category) {
        std::vector<int32_t> starts{0}, lengths{0};
        for (const auto& [start, length] : runs) {
            starts.push_back(start);
            lengths.push_back(length);
        }
        view.paints.clear();
        PaintRuns(ctx, lengths, starts, static_cast<int32_t>(runs.size()), category);
        return view.paints;
    }
    uint8_t Cell(int32_t cell) const { return ctx.chains.MapCells[cell]; }

    PaintLog view;
    FakeClock clock{0.0, 0.0};
    testing::SingleDriveProvider provider{nullptr};
    EngineContext ctx{view, clock, provider};
};

TEST_F(CellMapTest, PrecedenceKeepsFixedAndFragmentsAndFillsOnlyUnpaintedWith143) {
    Map(20, 1);
    // (cluster, category painted, cell afterwards), in order.
    const int steps[][3] = {
        {2, kCellFixed, kCellFixed},     {2, kCellFiles, kCellFixed},
        {2, kCellEmpty, kCellEmpty},     {3, kCellFragments, kCellFragments},
        {3, kCellFiles, kCellFragments}, {3, kCellEmptyIfUnpainted, kCellFragments},
        {3, kCellFixed, kCellFixed},     {4, kCellFiles, kCellFiles},
        {4, kCellEmptyIfUnpainted, kCellFiles}, {5, kCellEmptyIfUnpainted, kCellEmpty},
    };
    for (const auto& [cluster, category, after] : steps) {
        SetCellCategory(ctx, cluster, category);
        EXPECT_EQ(Cell(cluster), after) << cluster << " painted " << category;
    }
    view.paints.clear();
    SetCellCategory(ctx, 4, kCellFiles);    // unchanged: not drawn again
    SetCellCategory(ctx, 500, kCellFiles);  // no such cell
    SetCellCategory(ctx, -3, kCellFiles);
    EXPECT_TRUE(view.paints.empty());
}

TEST_F(CellMapTest, RunsPaintEachTouchedCellOnceAt1000ClustersACell) {
    Map(10000, 1000);
    EXPECT_EQ(Runs({{2100, 3}}, kCellFiles), (Paints{{2, kCellFiles}}));
    EXPECT_EQ(Runs({{4998, 4}}, kCellFiles), (Paints{{4, kCellFiles}, {5, kCellFiles}}));
    // 6500 and 7500 by the step, then the last cluster 8499.
    EXPECT_EQ(Runs({{6500, 2000}}, kCellFiles), (Paints{{6, 9}, {7, 9}, {8, 9}}));
}

TEST_F(CellMapTest, FragmentedChainMarksItsHeadButFreeRunsDoNot) {
    Map(100, 1);
    EXPECT_EQ(Runs({{10, 2}, {3, 1}}, kCellFiles), (Paints{{10, 12}, {11, 9}, {3, 9}}));
    EXPECT_EQ(Runs({{40, 1}, {50, 1}}, kCellEmptyIfUnpainted), (Paints{{40, 15}, {50, 15}}));
    EXPECT_EQ(Runs({{60, 1}, {70, 1}}, kCellEmpty), (Paints{{60, 15}, {70, 15}}));
    // A hostile run length ends at the map's edge.
    Runs({{90, INT_MAX}}, kCellFiles);
    EXPECT_EQ(Cell(101), kCellFiles);
}

TEST_F(CellMapTest, FixedChainOverridesEveryCellAndABrokenOneStopsTheRun) {
    Map(100, 1);
    ctx.fat.FatTable[20] = 21;
    ctx.fat.FatTable[21] = 5;
    ctx.fat.FatTable[5] = kFatEndOfChain;
    SetCellCategory(ctx, 20, kCellFragments);
    SetCellCategory(ctx, 5, kCellFiles);
    MarkFixedChain(ctx, 20);
    EXPECT_EQ(std::vector<int>({Cell(20), Cell(21), Cell(5)}), std::vector<int>(3, kCellFixed));

    ctx.fat.FatTable[30] = 31;  // runs into a free cluster
    view.paints.clear();
    MarkFixedChain(ctx, 30);
    EXPECT_TRUE(view.paints.empty());
    EXPECT_EQ(ctx.run.ErrorMessage, "Bad cluster #");
    EXPECT_EQ(ctx.run.ErrorSource, "FAT_Frag");
}

TEST_F(CellMapTest, RedrawGapsMarksCellsWhereAGapBeginsOrEndsPartWay) {
    Map(100, 10);  // clusters 2..101, cells 0..11
    ctx.chains.MapCells.assign(12, kCellFiles);
    ctx.chains.MapCells[4] = kCellFragments;
    ctx.chains.MapCells[5] = kCellFixed;
    ctx.chains.GapStart = {0, 60, 2, 15, 30, 45, 52, 70, 85, 90};
    ctx.chains.GapLength = {0, 5, 8, 5, 10, 2, 3, 5, 0, 12};
    // Gap 1 lies before the cursor; 2 fills cell 0 from the volume's first
    // cluster; 3 begins part way into cell 1; 4 fills cell 3; 5 and 6 lie in
    // Fragments and Fixed cells; 7 ends part way into cell 7; 8 is empty;
    // 9 runs to the last cluster.
    ctx.chains.GapCount = 9;
    ctx.chains.GapCursor = 2;
    RedrawGaps(ctx);
    EXPECT_EQ(ctx.chains.MapCells, (std::vector<uint8_t>{9, 1, 9, 9, 12, 4, 9, 1, 9, 9, 9, 9}));
    EXPECT_EQ(view.paints, (Paints{{1, kCellPartial}, {7, kCellPartial}}));
    view.paints.clear();
    RedrawGaps(ctx);  // already Partial: nothing drawn again
    EXPECT_TRUE(view.paints.empty());
}

}  // namespace
}  // namespace quillo
