// Power cuts during moves: for every write of a sequence of moves, a device
// that loses power right after it, rebooted with its unflushed writes lost,
// kept at random, or torn. Every file must keep its content, the checkers may
// report nothing but lost clusters, differing table copies and, while a moved
// folder's subfolders are being repaired, their ".."; every chain stays well
// formed, so a Check of the rebooted volume runs to its end.
//
// The default run sweeps every write on the FAT16 volume and every other one
// on the FAT12 volume. QUILLO_FULL_CRASH_SWEEP=1 (bench/crash_sweep.sh) sweeps
// every write of both, adds FAT32 and six more random seeds.
#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>

#include "engine/run_driver.h"
#include "tests/engine/move_volume.h"

namespace quillo {
namespace {

using test::FatKind;

bool FullSweep() {
    const char* full = std::getenv("QUILLO_FULL_CRASH_SWEEP");
    return full != nullptr && std::string(full) == "1";
}

struct Tally {
    int images = 0;
    int lost = 0;
    int copiesDiffer = 0;
    int dotDotWindow = 0;
};

void SweepVolume(FatKind kind, uint64_t everyNthWrite) {
    SCOPED_TRACE(test::FatKindName(kind));
    const test::MoveVolume& volume = test::BuiltVolume(kind);
    ASSERT_FALSE(volume.image.empty());
    test::OpenedDrive clean(volume.image);
    ASSERT_TRUE(clean.ok);
    ASSERT_EQ(test::RunScenario(clean, volume), static_cast<int>(test::ScenarioMoves().size()));
    const uint64_t writes = clean.device().WritesCounted();

    std::vector<test::Reboot> reboots = {{RebootMode::DropUnflushed, 0, "drop unflushed"},
                                   {RebootMode::KeepRandomSubset, 1, "random subset 1"},
                                   {RebootMode::KeepRandomSubset, 2, "random subset 2"},
                                   {RebootMode::TornLastWrite, 0, "torn last write"},
                                   {RebootMode::TornInOrder, 0, "torn in order"}};
    if (FullSweep())
        for (uint64_t seed = 3; seed <= 8; ++seed) reboots.push_back({RebootMode::KeepRandomSubset, seed, "random subset"});

    test::TempDir dir;
    test::JudgeCache judge(dir.File("scratch.img"));
    const std::string original = dir.File("original.img");
    test::WriteFileBytes(original, 0, volume.image);
    const std::string geometry = test::FatinspectJson(original);
    Tally tally;
    int failures = 0;
    for (uint64_t k = 1; k <= writes; k += everyNthWrite) {
        test::OpenedDrive d(volume.image, false, k);
        ASSERT_TRUE(d.ok);
        test::RunScenario(d, volume);
        ASSERT_TRUE(d.device().PowerIsCut()) << "write " << k;
        for (const test::Reboot& r : reboots) {
            const std::vector<uint8_t> rebooted = d.device().ImageAfterReboot(r.mode, r.seed + k);
            const test::Verdict& v = judge.Of(rebooted);
            ++tally.images;
            tally.lost += v.lostClusters;
            tally.copiesDiffer += v.fatCopiesDiffer;
            tally.dotDotWindow += !v.staleDotDot.empty();
            std::string complaint = test::Complaint(v, volume.digest, true) + test::TableComplaint(rebooted, geometry);
            testing::ScriptedDrive check(rebooted);
            check.ctx.run.RunMode = -1;
            check.ctx.run.ScanFiles = true;
            check.ctx.run.DriveMenuIndex = 1;
            RunDrive(check.ctx);
            if (check.ctx.run.ErrorStop != 0) complaint += "Check stopped: " + check.ctx.run.ErrorMessage + "; ";
            if (complaint.empty()) continue;
            // The first few are enough to see what went wrong.
            if (++failures <= 3) ADD_FAILURE() << "crash after write " << k << ", " << r.name << ": " << complaint;
        }
    }
    EXPECT_EQ(failures, 0);
    std::cout << "[ sweep    ] " << test::FatKindName(kind) << ": " << writes << " writes, every "
              << everyNthWrite << (everyNthWrite == 1 ? " write" : " writes") << " swept, " << tally.images
              << " reboots, " << judge.Distinct() << " distinct images; lost clusters in " << tally.lost
              << ", table copies differ in " << tally.copiesDiffer << ", subfolder '..' window in "
              << tally.dotDotWindow << "\n";
}

TEST(MoveCrashSweep, PowerCutAfterAnyWriteKeepsEveryFile) {
    if (!test::HaveFatTools()) GTEST_SKIP() << "mkfs.fat or mtools missing";
    SweepVolume(FatKind::Fat16FourReserved, 1);
    SweepVolume(FatKind::Fat12, FullSweep() ? 1 : 2);
    if (FullSweep()) SweepVolume(FatKind::Fat32, 1);
}

}  // namespace
}  // namespace quillo
