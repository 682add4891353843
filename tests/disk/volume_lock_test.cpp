#include "disk/volume_lock.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "disk/busy_files.h"
#include "tests/support/engine_fixture.h"

namespace quillo {
namespace {

using testing::ScriptedDrive;
using Op = ScriptedDevice::Op;

TEST(AcquireVolume, LockFollowsTheRunKindAndFallsBackToAllowingOthersWrites) {
    const struct {
        const char* what;
        int16_t runMode;  // -1 Check, 1 Defragment
        bool background;
        int failLevel, failTimes;  // lock attempts refused first
        std::vector<int> levels;
        std::vector<bool> othersMayWrite;
    } cases[] = {
        {"Defragment", 1, false, 0, 0, {0}, {true}},
        {"Defragment, exclusive lock refused", 1, false, 0, 1, {0, 1}, {true, false}},
        {"Background Defragment", 1, true, 0, 0, {1}, {true}},
        {"Check", -1, false, 0, 0, {1}, {false}},
        {"Check, denying lock refused once", -1, false, 1, 1, {1, 1}, {false, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedDrive d;
        d.ctx.run.RunMode = c.runMode;
        d.ctx.options.Background = c.background;
        d.device.FailLocks(c.failLevel, c.failTimes);
        ASSERT_TRUE(AcquireVolume(d.ctx));
        EXPECT_EQ(d.device.LockLevelsRequested(), c.levels);
        std::vector<bool> permissions;
        for (const auto& r : d.device.Requests())
            if (r.op == Op::LockVolume) permissions.push_back(r.othersMayWrite);
        EXPECT_EQ(permissions, c.othersMayWrite);
        EXPECT_EQ(d.ctx.dev.Level0Held, c.levels.back() == 0);
        EXPECT_EQ(d.ctx.dev.LastLockLevel, c.levels.back());
        EXPECT_EQ(d.ctx.dev.OthersWritesDenied, !c.othersMayWrite.back() && c.levels.back() == 1);
        // Flushed once, before locking.
        ASSERT_EQ(d.device.CountOf(Op::ResetDrive), 1);
        for (const auto& r : d.device.Requests()) {
            if (r.op == Op::ResetDrive) break;
            EXPECT_NE(r.op, Op::LockVolume);
        }

        ReleaseVolume(d.ctx);
        EXPECT_EQ(d.device.HeldLevel(), -1);
        EXPECT_FALSE(d.device.IsOpen());
        EXPECT_EQ(d.ctx.dev.DeviceHandle, nullptr);
    }
}

TEST(AcquireVolume, RefusedWithoutTakingALockOrWriting) {
    const struct {
        const char* what;
        std::function<void(ScriptedDrive&)> script;
        bool busy;
    } cases[] = {
        {"locked when opened", [](ScriptedDrive& d) { d.device.SetLockedAtOpen(1); }, false},
        {"another holder", [](ScriptedDrive& d) { d.device.SetOtherHolder(true); }, true},
        {"unknown drive", [](ScriptedDrive& d) { d.ctx.run.DriveString = "D:"; }, false},
        // The letter is taken in either case.
        {"failed flush", [](ScriptedDrive& d) { d.ctx.run.DriveString = "c:"; d.device.FailResets(1); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedDrive d;
        d.ctx.run.RunMode = 1;
        c.script(d);
        EXPECT_FALSE(AcquireVolume(d.ctx));
        EXPECT_EQ(d.ctx.run.DriveBusy, c.busy);
        EXPECT_EQ(d.device.CountOf(Op::LockVolume) > 0, c.busy);  // only a busy drive was tried
        EXPECT_EQ(d.device.CountOf(Op::Write), 0);
        EXPECT_FALSE(d.device.IsOpen());
        EXPECT_EQ(d.ctx.dev.DeviceHandle, nullptr);
    }
}

// A background Defragment holding level 1, ready to climb.
void AcquireForClimb(ScriptedDrive& d) {
    d.ctx.run.RunMode = 1;
    d.ctx.options.Background = true;
    ASSERT_TRUE(AcquireVolume(d.ctx));
}

class Climb : public ::testing::Test {
protected:
    void SetUp() override { AcquireForClimb(d); }
    ScriptedDrive d;
};

TEST_F(Climb, QuietFlagHoldsLevelsTwoAndThreeUntilTheYield) {
    ASSERT_TRUE(EnterWriteLock(d.ctx, false));
    EXPECT_TRUE(d.ctx.dev.LockRaised);
    d.ctx.run.MapRepaintPending = true;
    YieldWriteLock(d.ctx);
    EXPECT_EQ(d.device.HeldLevel(), 1);
    EXPECT_FALSE(d.ctx.dev.LockRaised);
    EXPECT_EQ(d.view.mapRedraws, 1);  // the deferred repaint happens once the lock is down
    EXPECT_FALSE(d.ctx.run.MapRepaintPending);
    EXPECT_EQ(d.device.UnlocksOfNonCurrentLevel(), 0);
}

// The lock flag read at the top of the climb: 0 quiet, 1 written by others,
// 2 a new mapping (the busy table is rebuilt when asked for), -1 the query
// failed (taken as a write, and asked again).
TEST(EnterWriteLock, TheFlagDecidesWhetherTheRunRestartsOrTheBusyTableIsRebuilt) {
    const struct {
        const char* what;
        int flag;
        bool refresh, restart, rebuilt;
        int flagQueries;
    } cases[] = {
        {"quiet", 0, false, false, false, 1},
        {"outside write", 1, true, true, false, 1},
        {"new mapping", 2, true, false, true, 1},
        {"failed query", -1, false, true, false, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedDrive d;
        AcquireForClimb(d);
        d.device.QueueLockFlags({c.flag});
        d.device.SetOpenFiles({{"C:\\WIN\\MAPPED.DLL", 2}, {"C:\\DOC\\NOTES.TXT", 1},
                               {"C:\\TEMP\\~DF1234.TMP", 1}, {"C:\\READ.ME", 0}});
        ASSERT_TRUE(EnterWriteLock(d.ctx, c.refresh));
        EXPECT_EQ(d.device.HeldLevel(), 3);
        EXPECT_EQ(d.ctx.run.RestartNeeded, c.restart);
        EXPECT_EQ(d.device.CountOf(Op::GetLockFlagState), c.flagQueries);
        EXPECT_EQ(d.device.UnlocksOfNonCurrentLevel(), 0);
        EXPECT_EQ(d.ctx.dev.BusyListRefreshed, c.rebuilt);
        if (!c.rebuilt) continue;
        EXPECT_EQ(d.ctx.dev.BusyFileCount, 2);
        EXPECT_EQ(LookupBusyFile(d.ctx, "C:\\WIN\\MAPPED.DLL"), 2);
        EXPECT_EQ(LookupBusyFile(d.ctx, "C:\\TEMP\\~DF1234.TMP"), 1);
        EXPECT_EQ(LookupBusyFile(d.ctx, "C:\\DOC\\NOTES.TXT"), 0);  // written, but not a ~DF file
        EXPECT_EQ(LookupBusyFile(d.ctx, "C:\\READ.ME"), 0);
    }
}

// Levels that are never granted, or never given back: the climb ends as busy
// just over thirty seconds later (across midnight too), or at once when a
// stop is asked for, and releasing the volume still closes it.
TEST(EnterWriteLock, RefusedLevelsEndTheClimb) {
    const struct {
        const char* what;
        std::function<void(ScriptedDrive&)> script;
        bool busy, waitsThirtySeconds;
    } cases[] = {
        {"level 2 refused", [](ScriptedDrive& d) { d.device.FailLocks(2, ScriptedDevice::kAlways); }, true, true},
        {"level 3 refused across midnight", [](ScriptedDrive& d) {
             d.clock.Advance(86400.0 - 12 * 3600.0 - 10.0);  // ten seconds to midnight
             d.device.FailLocks(3, ScriptedDevice::kAlways);
         }, true, true},
        {"level 3 never unlocked", [](ScriptedDrive& d) {
             d.device.QueueLockFlags({-1});
             d.device.IgnoreUnlocks(3, ScriptedDevice::kAlways);
         }, true, false},
        {"stop while waiting", [](ScriptedDrive& d) {
             d.device.FailLocks(2, ScriptedDevice::kAlways);
             d.view.StopAtYield(d.view.yields + 25, &d.ctx.run);
         }, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedDrive d;
        AcquireForClimb(d);
        c.script(d);
        const double start = d.clock.Now();
        EXPECT_FALSE(EnterWriteLock(d.ctx, false));
        EXPECT_EQ(d.ctx.run.DriveBusy, c.busy);
        EXPECT_EQ(d.ctx.run.ErrorStop, c.busy ? 1 : 0);
        EXPECT_TRUE(d.ctx.run.StopRequested);
        const double waited = std::fmod(d.clock.Now() - start + 86400.0, 86400.0);
        if (c.waitsThirtySeconds) {
            EXPECT_GT(waited, 30.0);
            EXPECT_LE(waited, 31.0);
            EXPECT_EQ(d.device.HeldLevel(), 1);  // level 2 given back after each failed level 3
        }
        EXPECT_EQ(d.device.UnlocksOfNonCurrentLevel(), 0);
        ReleaseVolume(d.ctx);  // bounded, and closing drops what the device still holds
        EXPECT_FALSE(d.device.IsOpen());
    }
}

TEST_F(Climb, UnlockIsSentOnlyForTheCurrentLevel) {
    UnlockVolume(d.ctx, 512);  // at level 1: nothing to send
    EXPECT_EQ(d.device.CountOf(Op::UnlockVolume), 0);
    ASSERT_TRUE(EnterWriteLock(d.ctx, false));
    ReleaseVolume(d.ctx);
    EXPECT_EQ(d.device.UnlockLevels(), std::vector<int>({3, 2, 1}));
    EXPECT_EQ(d.device.UnlocksOfNonCurrentLevel(), 0);
    EXPECT_FALSE(d.device.IsOpen());
}

TEST(ReportError, ReleasesTheVolumeAndLogsEvenWithLoggingOff) {
    ScriptedDrive d;
    d.ctx.run.RunMode = 1;
    ASSERT_TRUE(AcquireVolume(d.ctx));
    d.ctx.log.LogEnabled = false;
    ReportError(d.ctx, "Disk error or incompatible disk");
    EXPECT_EQ(d.device.HeldLevel(), -1);
    EXPECT_FALSE(d.device.IsOpen());
    EXPECT_EQ(d.view.log, std::vector<std::string>({"Disk error or incompatible disk"}));
    EXPECT_EQ(d.ctx.run.ErrorStop, 1);
}

// "ab" and "`e" share a hash (97*3+98 = 96*3+101); 450 entries outgrow the
// table's first allocation.
TEST(BusyFiles, EqualHashesAreToldApartByPathAndTheTableGrows) {
    ASSERT_EQ(PathHash("ab"), PathHash("`e"));
    std::vector<OpenFileEntry> files = {{"`e", 3}, {"x", 2}, {"ab", 2}};
    for (int i = 0; i < 450; ++i) files.push_back({"C:\\F" + std::to_string(i), 2});
    ScriptedDrive d;
    d.device.SetOpenFiles(files);
    ASSERT_TRUE(d.device.Open());
    d.ctx.dev.DeviceHandle = &d.device;
    d.ctx.dev.BusyFileCount = EnumerateBusyFiles(d.ctx);
    EXPECT_EQ(d.ctx.dev.BusyFileCount, 453);
    EXPECT_EQ(LookupBusyFile(d.ctx, "ab"), 2);
    EXPECT_EQ(LookupBusyFile(d.ctx, "`e"), 3);
    EXPECT_EQ(LookupBusyFile(d.ctx, "y"), 0);
    for (size_t i = 1; i < files.size(); i += 37) EXPECT_EQ(LookupBusyFile(d.ctx, files[i].path), 2) << i;
}

}  // namespace
}  // namespace quillo
