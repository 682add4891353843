#include "analysis/chains.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "disk/fat_codec.h"
#include "tests/support/engine_fixture.h"

namespace quillo {
namespace {

using Runs = std::vector<std::pair<int32_t, int32_t>>;  // (start, length)

// A volume of `total` clusters whose allocation table each test writes by hand.
class ChainsTest : public ::testing::Test {
protected:
    void Volume(int32_t total, size_t tableEntries = 0) {
        d.ctx.geo.TotalClusters = total;
        d.ctx.geo.MaxCluster = total + 1;
        d.ctx.geo.BytesPerCluster = 512;
        fat.assign(tableEntries != 0 ? tableEntries : total + 2, 0);
        d.ctx.chains.MapCells.assign(total + 2, kCellNone);
    }
    void Chain(std::vector<uint32_t> clusters) {
        for (size_t i = 0; i + 1 < clusters.size(); ++i) fat[clusters[i]] = clusters[i + 1];
        fat[clusters.back()] = kFatEndOfChain | 0xF0000000;  // FAT32's top bits are ignored
    }
    Runs Walk(uint32_t first) {
        RunList runs;
        walked = FAT_Frag(d.ctx, first, runs);
        Runs out;
        for (int32_t k = 1; k <= runs.Count(); ++k) out.emplace_back(runs.RunStart[k], runs.RunLength[k]);
        return out;
    }
    // Checks the structural stop and clears it for the next case.
    void ExpectStop(const std::string& message, const std::string& source) {
        EXPECT_TRUE(d.ctx.run.StopRequested && d.ctx.run.StructuralError);
        EXPECT_EQ(d.ctx.run.ErrorMessage, message);
        EXPECT_EQ(d.ctx.run.ErrorSource, source);
        d.ctx.run = RunState{};
    }
    // A walk, a count and a paint from `first` all stop at the broken link.
    void ExpectEveryWalkStops(uint32_t first) {
        Walk(first);
        EXPECT_EQ(walked, 0);
        ExpectStop("Bad cluster #", "FAT_Frag");
        EXPECT_EQ(Fragmented(d.ctx, first, count), 0);
        ExpectStop("Bad cluster #", "Fragmented");
        MarkChain(d.ctx, first, kCellFiles);
        ExpectStop("Bad cluster #", "MarkChain");
    }

    testing::ScriptedDrive d;
    std::vector<uint32_t>& fat = d.ctx.fat.FatTable;
    int32_t walked = -1;
    int32_t count = -1;
};

TEST_F(ChainsTest, BadClusterValueEndsTheRunListButBreaksTheOtherWalks) {
    Volume(30);
    Chain({4, 5});
    fat[5] = kFatBad;
    EXPECT_EQ(Walk(4), (Runs{{4, 2}}));
    EXPECT_FALSE(d.ctx.run.StopRequested);
    EXPECT_EQ(Fragmented(d.ctx, 4, count), 0);
    ExpectStop("Bad cluster #", "Fragmented");
    MarkChain(d.ctx, 4, kCellFiles);
    ExpectStop("Bad cluster #", "MarkChain");
}

TEST_F(ChainsTest, BrokenLinksStopWithBadCluster) {
    Volume(30, 20);  // the table holds fewer entries than the volume has clusters
    // Into a free cluster, a reserved entry, past the table, past the volume.
    for (uint32_t link : {7u, 1u, 25u, 32u}) {
        SCOPED_TRACE(link);
        fat[4] = link;
        ExpectEveryWalkStops(4);
        if (link == 7) continue;  // a link to a free cluster is no cross-link error
        CheckCrossLinks(d.ctx);
        ExpectStop("Bad cluster #", "");
    }
}

TEST_F(ChainsTest, PureCycleIsNoChainAndEveryWalkIntoItEnds) {
    Volume(30);
    Chain({5, 6, 7});
    fat[7] = 5;
    CheckCrossLinks(d.ctx);
    EXPECT_FALSE(d.ctx.run.StopRequested);
    EXPECT_EQ(ScanChains(d.ctx), 0);
    EXPECT_EQ(d.ctx.chains.AllocatedClusters, 0);
    ExpectEveryWalkStops(6);  // a directory entry that leads into the cycle
}

TEST_F(ChainsTest, ChainsOfMoreThan32000RunsStopTheRunButAreWalkedToTheEnd) {
    const int32_t fragments = 40000;  // past a 16-bit run index too
    Volume(2 * fragments + 2);
    for (uint32_t c = 2; c < 2u * fragments; c += 2) fat[c] = c + 2;
    fat[2 * fragments] = kFatEndOfChain;
    const Runs runs = Walk(2);
    EXPECT_EQ(walked, fragments);
    ASSERT_EQ(runs.size(), size_t{fragments});
    EXPECT_EQ(runs.back(), std::make_pair(2 * fragments, 1));
    EXPECT_TRUE(d.ctx.run.StopRequested && d.ctx.run.ErrorStop == 1);
    EXPECT_FALSE(d.ctx.run.StructuralError);
    EXPECT_EQ(d.ctx.run.ErrorMessage, "Fragments > 32000");
    d.ctx.run = RunState{};
    EXPECT_EQ(Fragmented(d.ctx, 2, count), 0);  // gives up past 32760
    ExpectStop("Bad cluster #", "Fragmented");
}

TEST_F(ChainsTest, ScanChainsCountsPaintsAndLeavesOutSwapAndRoot) {
    Volume(30);
    d.ctx.geo.IsFat32 = true;
    d.ctx.geo.RootCluster = 20;
    d.ctx.chains.SwapFirstCluster = 25;
    Chain({2, 3, 4});
    Chain({10, 11, 6});
    Chain({20, 22});      // root folder, fragmented
    Chain({25, 26, 24});  // swap file, fragmented
    fat[15] = kFatBad;
    fat[16] = 0x0FFFFFF0;  // reserved
    CheckCrossLinks(d.ctx);
    d.ctx.run.ScanFiles = false;

    EXPECT_EQ(ScanChains(d.ctx), 4);
    const ChainState& chains = d.ctx.chains;
    EXPECT_EQ(chains.AllocatedClusters, 3 + 3 + 2 + 3 + 2);
    EXPECT_EQ(chains.OwnedClusters, 2);
    EXPECT_EQ(chains.FragmentedFiles, 1);
    EXPECT_EQ(chains.FragmentedClusters, 3);
    const std::vector<uint8_t> expected = {0, 0, 9, 9, 9, 0, 9, 0, 0, 0, 12, 9, 0, 0, 0, 0,
                                           0, 0, 0, 0, 4, 0, 4, 0, 4,  4, 4, 0, 0, 0, 0, 0};
    EXPECT_EQ(chains.MapCells, expected);
    // Map-only look: chains by size, 1536 bytes in class 1 and 1024 in class 0.
    EXPECT_EQ(d.ctx.scan.SizeHistogram[0], 1);
    EXPECT_EQ(d.ctx.scan.SizeHistogram[1], 3);
}

TEST_F(ChainsTest, ScanChainsYieldsEvery2048Chains) {
    Volume(5000);
    for (uint32_t c = 2; c < 5002; ++c) fat[c] = kFatEndOfChain;
    CheckCrossLinks(d.ctx);
    d.ctx.run.ScanFiles = true;
    EXPECT_EQ(ScanChains(d.ctx), 5000);
    EXPECT_EQ(d.view.yields, 2);
    EXPECT_EQ(d.ctx.scan.SizeHistogram[0], 0);  // only a map-only look fills it
}

TEST_F(ChainsTest, GapTableHoldsMaximalFreeRunsUpToTheLastCluster) {
    Volume(20);  // clusters 2..21
    for (uint32_t c : {2, 3, 4, 8, 12, 13, 14, 15, 16, 17}) fat[c] = kFatEndOfChain;
    d.ctx.chains.GapCursor = 7;
    BuildGapTable(d.ctx, true);
    const ChainState& chains = d.ctx.chains;
    ASSERT_EQ(chains.GapCount, 3);
    EXPECT_EQ(chains.GapCursor, 1);
    EXPECT_EQ(std::vector<int32_t>(&chains.GapStart[1], &chains.GapStart[4]), (std::vector{5, 9, 18}));
    EXPECT_EQ(std::vector<int32_t>(&chains.GapLength[1], &chains.GapLength[4]), (std::vector{3, 3, 4}));
}

TEST_F(ChainsTest, GapTableGrowsPast500GapsAndIsRebuiltWhole) {
    Volume(2000);  // clusters 2..2001, every odd one free: 1000 gaps
    for (uint32_t c = 2; c <= 2001; c += 2) fat[c] = kFatEndOfChain;
    BuildGapTable(d.ctx, true);
    const ChainState& chains = d.ctx.chains;
    ASSERT_EQ(chains.GapCount, 1000);
    EXPECT_EQ(chains.GapStart[501], 1003);
    EXPECT_EQ(std::make_pair(chains.GapStart[1000], chains.GapLength[1000]), std::make_pair(2001, 1));

    for (uint32_t c = 3; c <= 2001; c += 2) fat[c] = kFatEndOfChain;
    fat[7] = 0;
    BuildGapTable(d.ctx, false);
    EXPECT_EQ(chains.GapCount, 1);
    EXPECT_EQ(chains.GapStart[2], 0);  // nothing left over from the last build
}

}  // namespace
}  // namespace quillo
