#include "analysis/statistics.h"

#include <gtest/gtest.h>

#include "analysis/chains.h"
#include "analysis/size_chart.h"
#include "analysis/size_classes.h"
#include "tests/support/engine_fixture.h"

namespace quillo {
namespace {

using Lines = std::vector<std::string>;

TEST(NiceScale, RoundsUpToTidyTopsInFiveStepsAndZeroToOne) {
    const int32_t cases[][4] = {{7, 10, 2, 5}, {250, 300, 60, 5}, {100000, 100000, 20000, 5}};
    for (const auto& c : cases) {
        int32_t top = c[0], steps = 0;
        EXPECT_EQ(NiceScale(top, steps), c[2]) << c[0];
        EXPECT_EQ(top, c[1]) << c[0];
        EXPECT_EQ(steps, c[3]) << c[0];
    }
}

TEST(SizeClass, LimitsDoubleThenJumpEightfoldAfter64k) {
    const int64_t cases[][2] = {{1024, 0},   {1025, 1},     {65536, 6},     {65537, 7},
                                {524288, 7}, {600000, 8},   {16777216, 12}, {20 << 20, 13}, {int64_t{1} << 40, 13}};
    for (const auto& c : cases) EXPECT_EQ(SizeClass(c[0], 13), c[1]) << c[0];
    EXPECT_EQ(SizeClass(5000, 0), 0);
}

TEST(SizeChart, TitleScaleBarsAndLabels) {
    int32_t histogram[kSizeClassCount] = {};
    const SizeChart empty = BuildSizeChart(histogram, "Allocation chains");
    EXPECT_EQ(empty.title, "Allocation chains by size in kb");
    EXPECT_EQ(empty.scaleMaximum, 1);
    EXPECT_EQ(empty.scaleSteps, 1);

    histogram[3] = 37;
    const SizeChart chart = BuildSizeChart(histogram, "File distribution");
    EXPECT_EQ(chart.scaleMaximum, 40);
    EXPECT_EQ(chart.scaleStep, 8);
    EXPECT_EQ(BarHeight(chart, 3, 200), 185);  // 37 x 200 / 40
    EXPECT_EQ(BarHeight(chart, kSizeClassCount, 200), 0);
    EXPECT_EQ(chart.bars[7].label, ".5k");  // the eightfold jump after 64k
}

TEST(FragGauge, CaptionsAndInnerBar) {
    testing::ScriptedDrive d;
    EXPECT_EQ(ComputeFragGauge(d.ctx).caption, "  0% frag.");  // no volume yet
    d.ctx.geo.TotalClusters = 1000;
    EXPECT_FALSE(ComputeFragGauge(d.ctx).innerBarShown);

    d.ctx.chains.FragmentedClusters = 39;  // 3.9 % truncates to 3
    const FragGauge gauge = ComputeFragGauge(d.ctx);
    EXPECT_TRUE(gauge.innerBarShown);
    EXPECT_EQ(gauge.barNumerator * 1000 / gauge.barDenominator, 39);
    EXPECT_EQ(gauge.caption, "  3% frag.");
    d.ctx.chains.FragmentedClusters = 450;
    EXPECT_EQ(ComputeFragGauge(d.ctx).caption, "45% frag.");
    d.ctx.geo.TotalClusters = 200000000;  // clusters x 100 passes 32 bits
    d.ctx.chains.FragmentedClusters = 100000000;
    EXPECT_EQ(ComputeFragGauge(d.ctx).caption, "50% frag.");
}

// A Check of 1000 clusters of 8 sectors, 600 in chains, 10 of them lost;
// every counter the summary can report is set.
class Summary : public ::testing::Test {
protected:
    void SetUp() override {
        c.run.ScanFiles = true;
        c.run.RunMode = -1;
        c.geo.TotalClusters = 1000;
        c.geo.SectorsPerCluster = 8;
        c.chains.ChainCount = 57;
        c.chains.AllocatedClusters = 600;
        c.chains.OwnedClusters = 590;
        c.chains.FragmentedFiles = 4;
        c.chains.GapCount = 13;
        c.scan.FileCount = 50;
        c.scan.FolderCount = 7;
        c.scan.ErasedEntries = 3;
        c.scan.CookiesSectors = 16;
        c.scan.DownloadedSectors = 2;
        c.scan.RecycleSectors = 3;
        c.scan.TempFilesSectors = 4096;
    }
    Lines Write() {
        WriteSummary(c);
        return d.view.log;
    }
    testing::ScriptedDrive d;
    EngineContext& c = d.ctx;
};

TEST_F(Summary, CheckWritesEveryLineInOrderAndDefragmentAndMapOnlyLeaveOutTheirs) {
    EXPECT_EQ(Write(), (Lines{"Files = 50, Folders = 7", "Volume size = 3.91MB", "Free space = 1.56MB",
                              "Cookies = 8KB", "Downloaded files = 1KB", "Recycle bin = 1.5KB",
                              "Temp files = 2.00MB", "Erased Files = 3", "Lost space = 40KB",
                              "Fragmented files = 4", "Gaps = 12"}));
    d.view.log.clear();
    c.run.RunMode = 1;
    EXPECT_EQ(Write(), (Lines{"Files = 50, Folders = 7", "Volume size = 3.91MB", "Free space = 1.56MB",
                              "Lost space = 40KB"}));
    d.view.log.clear();
    c.run.ScanFiles = false;
    EXPECT_EQ(Write(), (Lines{"Files and folders = 57", "Volume size = 3.91MB", "Free space = 1.56MB"}));
}

TEST_F(Summary, CheckWithoutLostSpaceOrGapsAndTheSwapFileHere) {
    c.chains.OwnedClusters = 600;
    c.chains.GapCount = 0;
    c.chains.SwapFirstCluster = 123;
    c.scan.CookiesSectors = c.scan.RecycleSectors = c.scan.TempFilesSectors = 0;
    c.scan.InternetTempSectors = 1;
    EXPECT_EQ(Write(), (Lines{"Files = 50, Folders = 7", "Volume size = 3.91MB", "Free space = 1.56MB",
                              "Downloaded files = 1KB", "Internet temporary = .5KB", "Fragmented files = 4",
                              "Gaps =-1"}));
}

TEST(AnalyseVolume, MapOnlyLookResetsAndShowsUnpaintedCellsEmpty) {
    testing::ScriptedDrive d;
    EngineContext& c = d.ctx;
    c.run.DriveString = "c:";
    c.geo.TotalClusters = 20;
    c.geo.MaxCluster = 21;
    c.geo.SectorsPerCluster = 1;
    c.geo.BytesPerCluster = 512;
    c.fat.FatTable.assign(22, 0);
    c.fat.FatTable[2] = 3;  // chains at 2..3 and at 10
    c.fat.FatTable[3] = c.fat.FatTable[10] = 0x0FFFFFFF;
    c.chains.MapCells.assign(30, 0);
    c.chains.FragmentedFiles = c.scan.FileCount = c.scan.RecordCount = 9;  // a stale pass
    CheckCrossLinks(c);
    AnalyseVolume(c);

    EXPECT_EQ(c.chains.ChainCount, 2);
    EXPECT_EQ(c.chains.FragmentedFiles + c.scan.FileCount + c.scan.RecordCount, 0);
    ASSERT_FALSE(c.scan.FolderTable.empty());
    EXPECT_EQ(c.scan.FolderTable[0].Name, "C:");
    for (int cell = 0; cell < 30; ++cell) {
        const bool chain = cell == 2 || cell == 3 || cell == 10;
        EXPECT_EQ(c.chains.MapCells[cell], chain ? kCellFiles : cell <= 21 ? kCellEmpty : kCellNone)
            << cell;
    }
}

}  // namespace
}  // namespace quillo
