// Whole Defragment runs on fragmented volumes, interrupted every way a run
// can be: the power cut after a write, Stop pressed, a write that fails, and
// another program's write seen at a climb. Whatever happens, every file keeps
// its content, the checkers find nothing worse than what the mover's write
// order allows, and a run over what is left goes on from there.
//
// The default run samples the writes of each run; QUILLO_FULL_DEFRAG_SWEEP=1
// (bench/defrag_crash_sweep.sh) crashes after every write, reboots each in
// every mode, and adds the FAT32 run under the shared lock.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <map>
#include <set>
#include <string_view>

#include "common/little_endian.h"
#include "engine/defragment.h"
#include "engine/end_of_run.h"
#include "engine/run_driver.h"
#include "tests/engine/move_volume.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/test_images.h"

namespace quillo {
namespace {

using Op = ScriptedDevice::Op;

bool FullSweep() {
    const char* full = std::getenv("QUILLO_FULL_DEFRAG_SWEEP");
    return full != nullptr && std::string(full) == "1";
}

const std::string kFat12 = "--fat 12 --size-mb 2 --cluster-sectors 1 --files 40 --dirs 4 --churn 3 --seed 5";
const std::string kFat16 = "--fat 16 --size-mb 16 --files 40 --dirs 4 --churn 3 --seed 3";
const std::string kFat32 = "--fat 32 --size-mb 34 --files 40 --dirs 4 --churn 3 --seed 4";

// A fragmented volume from mkfragimg and its contents digest, built once per
// process.
struct FragVolume {
    std::vector<uint8_t> image;
    std::string digest;
};

const FragVolume& Volume(const std::string& args) {
    static std::map<std::string, FragVolume> built;
    auto it = built.find(args);
    if (it != built.end()) return it->second;
    FragVolume& volume = built[args];
    test::TempDir dir;
    const std::string file = dir.File("vol.img");
    std::string error;
    if (!test::MakeFragImage(file, args, &error)) {
        ADD_FAILURE() << args << ": " << error;
        return volume;
    }
    const std::string json = test::FatinspectJson(file, "--contents-digest");
    if (test::JsonField(json, "errors") != "[]" || test::JsonNumber(json, "fragmented_files").value_or(0) == 0) {
        ADD_FAILURE() << args << ": not a clean fragmented volume: " << json;
        return volume;
    }
    volume.digest = test::JsonField(json, "contents_digest").value_or("");
    volume.image = test::ReadFileBytes(file);
    return volume;
}

// A Defragment run of C: as the window starts one. `Run` notes where the
// defragment phase began: the yields and lock-flag reads made before it.
struct DefragDrive : testing::ScriptedDrive {
    DefragDrive(const std::vector<uint8_t>& image, bool background) : ScriptedDrive(image) {
        ctx.run.RunMode = 1;
        ctx.run.ScanFiles = true;
        ctx.run.DriveMenuIndex = 1;
        ctx.options.Background = background;
    }
    void Run() {
        RunDrive(ctx, [this](EngineContext& c) {
            if (phaseYield < 0) {
                phaseYield = view.yields;
                phaseFlagReads = device.CountOf(Op::GetLockFlagState);
            }
            Defragment(c);
        });
    }
    bool Released() const { return !device.IsOpen() && device.HeldLevel() == -1; }
    bool LastLogLineIs(const std::string& text) const { return !view.log.empty() && view.log.back() == text; }

    long phaseYield = -1;
    int phaseFlagReads = -1;
};

// Two independent hashes, as the judge's cache keys images.
std::pair<uint64_t, uint64_t> ImageKey(const std::vector<uint8_t>& image) {
    const std::string_view bytes(reinterpret_cast<const char*>(image.data()), image.size());
    uint64_t fnv = 1469598103934665603ull;
    for (unsigned char b : bytes) fnv = (fnv ^ b) * 1099511628211ull;
    return {std::hash<std::string_view>{}(bytes), fnv};
}

// Writes (1-based numbers) from a moved folder's entry switch up to the
// flush after its subfolders' ".." repairs: a batch between two flushes of
// directory writes only, more than one.
std::set<uint64_t> DotDotWindow(const ScriptedDevice& device) {
    std::set<uint64_t> window;
    for (const std::vector<ScriptedDevice::Request>& batch : device.WriteBatches()) {
        const bool folderSwitch =
            batch.size() > 1 && std::all_of(batch.begin(), batch.end(), [](const ScriptedDevice::Request& r) {
                return r.kind == WriteKind::Directory;
            });
        if (folderSwitch)
            for (const ScriptedDevice::Request& r : batch) window.insert(r.number);
    }
    return window;
}

// The verdict without the stale ".." entries of `paths`. fsck.fat names the
// folder on the line before its complaint, and a name with spaces reads to
// the judge as a problem of its own.
test::Verdict Excusing(const test::Verdict& verdict, const std::set<std::string>& paths) {
    test::Verdict v = verdict;
    for (const std::string& path : paths) {
        if (v.staleDotDot.erase(path) == 0) continue;
        v.problems.erase(std::remove(v.problems.begin(), v.problems.end(), "fsck.fat: " + path), v.problems.end());
    }
    return v;
}

// What is wrong with an image a crashed or failed run left: the write order
// allows lost clusters and differing table copies, stale ".." entries only
// inside a folder move's window.
std::string LeftBehindComplaint(const test::Verdict& v, const std::string& digest, bool inDotDotWindow) {
    return test::Complaint(inDotDotWindow ? Excusing(v, v.staleDotDot) : v, digest, false);
}

// What is wrong with an image that must be wholly clean.
std::string CleanComplaint(const test::Verdict& v, const std::string& digest) {
    std::string text = test::Complaint(v, digest, false);
    if (text.empty() && v.fsckStatus != 0)
        text = "fsck.fat status " + std::to_string(v.fsckStatus) + ": " + v.fsckOutput;
    return text;
}

// Clusters fsck.fat would reclaim: "Reclaimed N unused clusters".
int64_t LostClusters(const test::Verdict& v) {
    const size_t at = v.fsckOutput.find("Reclaimed ");
    return at == std::string::npos ? 0 : std::atoll(v.fsckOutput.c_str() + at + 10);
}

// The first and last few of 1..count and `spread` more evenly between;
// all of them in the full sweep.
std::vector<uint64_t> Sample(uint64_t count, uint64_t spread, bool all) {
    std::set<uint64_t> ks;
    for (uint64_t k = 1; k <= std::min<uint64_t>(3, count); ++k) ks.insert(k);
    for (uint64_t k = count > 3 ? count - 2 : 1; k <= count; ++k) ks.insert(k);
    for (uint64_t i = 1; i <= spread; ++i) ks.insert(std::max<uint64_t>(1, i * count / (spread + 1)));
    if (all)
        for (uint64_t k = 1; k <= count; ++k) ks.insert(k);
    return {ks.begin(), ks.end()};
}

struct Tally {
    int images = 0;
    int lost = 0;
    int copiesDiffer = 0;
    int dotDot = 0;
    int secondRuns = 0;
    int failures = 0;
};

class DefragSafety : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveFatTools()) GTEST_SKIP() << "mkfs.fat or mtools missing";
    }
    // A sweep reports its first few failures only: enough to see what went wrong.
    static void Fail(Tally& tally, const std::string& what) {
        if (++tally.failures <= 3) ADD_FAILURE() << what;
    }

    std::string SecondRunComplaint(const std::vector<uint8_t>& image, const test::Verdict& before,
                                   bool background, const std::string& digest, const std::string& geometry);
    void CrashSweep(const std::string& args, bool background, uint64_t spread);

    test::TempDir dir;
    test::JudgeCache judge{dir.File("scratch.img")};
};

// A run over a rebooted image (judged `before`) goes on to its end: it
// corrects the stale ".." and the torn FAT12 copy a cut may leave, leaves
// the lost chains and a differing FAT16/FAT32 copy to the user's disk
// checker, and adds nothing to them. When the run takes the second FAT12
// copy, the lost chains are those of that copy, not fsck.fat's view of the
// first (at most the chains of the cut move in either).
std::string DefragSafety::SecondRunComplaint(const std::vector<uint8_t>& image, const test::Verdict& before,
                                             bool background, const std::string& digest,
                                             const std::string& geometry) {
    DefragDrive again(image, background);
    again.Run();
    if (!again.Released()) return "volume not released";
    const RunState& run = again.ctx.run;
    if (run.ErrorStop != 0) return "error stop: " + run.ErrorMessage + " / " + run.ErrorSource;
    const bool tookSecondCopy = std::find(again.view.log.begin(), again.view.log.end(),
                                          "First allocation table rewritten from the second copy") !=
                                again.view.log.end();
    const int64_t lostBefore =
        LostClusters(tookSecondCopy ? judge.Of(test::WithSecondCopyFirst(image, geometry)) : before);
    const test::Verdict& after = judge.Of(again.device.Image());
    std::string text = test::Complaint(after, digest, false);
    if (LostClusters(after) > lostBefore) text += "more lost clusters; ";
    if (after.fatCopiesDiffer && !before.fatCopiesDiffer) text += "table copies now differ; ";
    const bool untidy = before.lostClusters || before.fatCopiesDiffer;
    if (!untidy && after.fsckStatus != 0) text += "fsck.fat status " + std::to_string(after.fsckStatus) + "; ";
    // The user is told of the lost chains the run leaves.
    const bool toldLost = std::any_of(again.view.log.begin(), again.view.log.end(), [](const std::string& line) {
        return line.rfind("Lost space = ", 0) == 0;
    });
    if (after.lostClusters && !toldLost) text += "no \"Lost space = \" line; ";
    if (!text.empty()) text += "fsck said: " + after.fsckOutput;
    return text;
}

void DefragSafety::CrashSweep(const std::string& args, bool background, uint64_t spread) {
    SCOPED_TRACE(args + (background ? ", shared lock" : ", exclusive lock"));
    const auto start = std::chrono::steady_clock::now();
    const FragVolume& volume = Volume(args);
    ASSERT_FALSE(volume.image.empty());

    DefragDrive clean(volume.image, background);
    clean.Run();
    ASSERT_EQ(clean.ctx.run.ErrorStop, 0) << clean.ctx.run.ErrorMessage;
    ASSERT_GT(clean.ctx.defrag.MovedCount, 0);
    ASSERT_EQ(CleanComplaint(judge.Of(clean.device.Image()), volume.digest), "");
    const uint64_t writes = clean.device.WritesCounted();
    const std::set<uint64_t> window = DotDotWindow(clean.device);
    const std::string original = dir.File("original.img");
    test::WriteFileBytes(original, 0, volume.image);
    const std::string geometry = test::FatinspectJson(original);

    std::vector<test::Reboot> reboots = {{RebootMode::DropUnflushed, 0, "drop unflushed"},
                                   {RebootMode::KeepRandomSubset, 1, "random subset"}};
    if (FullSweep()) {
        reboots.push_back({RebootMode::KeepRandomSubset, 1000003, "random subset 2"});
        reboots.push_back({RebootMode::TornLastWrite, 0, "torn last write"});
        reboots.push_back({RebootMode::TornInOrder, 0, "torn in order"});
    }

    Tally tally;
    std::set<std::pair<uint64_t, uint64_t>> followed;  // rebooted images already run again
    // A folder move's window is sampled at both ends.
    std::vector<uint64_t> ks = Sample(writes, spread, FullSweep());
    if (!window.empty()) {
        ks.push_back(*window.begin());
        ks.push_back(*window.rbegin());
        std::sort(ks.begin(), ks.end());
        ks.erase(std::unique(ks.begin(), ks.end()), ks.end());
    }
    for (uint64_t k : ks) {
        DefragDrive crashed(volume.image, background);
        crashed.device.CrashAfterWrite(k);
        crashed.Run();
        if (!crashed.device.PowerIsCut()) {
            Fail(tally, "write " + std::to_string(k) + " of " + std::to_string(writes) + " never came");
            continue;
        }
        for (const test::Reboot& r : reboots) {
            const std::vector<uint8_t> rebooted = crashed.device.ImageAfterReboot(r.mode, r.seed + k);
            const test::Verdict& v = judge.Of(rebooted);
            ++tally.images;
            tally.lost += v.lostClusters;
            tally.copiesDiffer += v.fatCopiesDiffer;
            tally.dotDot += !v.staleDotDot.empty();
            const std::string where = "crash after write " + std::to_string(k) + ", " + r.name + ": ";
            const std::string complaint = LeftBehindComplaint(v, volume.digest, window.count(k) != 0) +
                                          test::TableComplaint(rebooted, geometry);
            if (!complaint.empty()) {
                Fail(tally, where + complaint);
                continue;
            }
            if (!followed.insert(ImageKey(rebooted)).second) continue;
            ++tally.secondRuns;
            const std::string second = SecondRunComplaint(rebooted, v, background, volume.digest, geometry);
            if (!second.empty()) Fail(tally, where + "second run: " + second);
        }
    }
    EXPECT_EQ(tally.failures, 0);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << "[ sweep    ] " << args << (background ? ", shared lock: " : ", exclusive lock: ") << writes
              << " writes (" << window.size() << " in folder moves' '..' windows), " << ks.size() << " crash points, " << tally.images << " reboots in "
              << reboots.size() << " modes; lost clusters in " << tally.lost << ", table copies differ in "
              << tally.copiesDiffer << ", '..' window in " << tally.dotDot << "; " << tally.secondRuns
              << " second runs; " << tally.failures << " failures; " << seconds << " s\n";
}

TEST_F(DefragSafety, PowerCutAfterAnyWriteKeepsEveryFileAndTheNextRunGoesOn) {
    CrashSweep(kFat12, false, 6);
    CrashSweep(kFat16, false, 8);
    CrashSweep(kFat32, false, 5);
}

// Under the shared lock every move climbs and rechecks before it writes.
TEST_F(DefragSafety, PowerCutUnderTheSharedLockKeepsEveryFile) {
    CrashSweep(kFat16, true, 3);
    if (FullSweep()) CrashSweep(kFat32, true, 0);
}

// Stop is honoured between moves only, so a stopped run leaves a clean volume.
TEST_F(DefragSafety, StopAtAnyYieldLeavesACleanVolume) {
    struct Case {
        std::string args;
        bool background;
    };
    for (const Case& c : {Case{kFat16, false}, Case{kFat32, false}, Case{kFat16, true}}) {
        SCOPED_TRACE(c.args + (c.background ? ", shared lock" : ", exclusive lock"));
        const FragVolume& volume = Volume(c.args);
        ASSERT_FALSE(volume.image.empty());
        DefragDrive clean(volume.image, c.background);
        clean.Run();
        ASSERT_GT(clean.phaseYield, 0);
        const long phase = clean.phaseYield;
        const long length = clean.view.yields - phase;
        ASSERT_GT(length, 20);
        // One stop in the analysis, the rest through the defragment phase,
        // folder packing at its start included.
        std::vector<long> stops = {phase / 2, phase + 1, phase + 3};
        for (long i = 1; i <= 5; ++i) stops.push_back(phase + i * length / 6);
        for (long at : stops) {
            SCOPED_TRACE("stop at yield " + std::to_string(at));
            DefragDrive d(volume.image, c.background);
            d.view.StopAtYield(at, &d.ctx.run);
            d.Run();
            EXPECT_TRUE(d.Released());
            EXPECT_EQ(d.ctx.run.ErrorStop, 0) << d.ctx.run.ErrorMessage;
            EXPECT_TRUE(d.LastLogLineIs("(User stop)")) << (d.view.log.empty() ? "" : d.view.log.back());
            EXPECT_EQ(ChooseEndOfRunMessage(d.ctx.run).style, MessageStyle::None);
            EXPECT_LT(d.ctx.defrag.MovedCount, clean.ctx.defrag.MovedCount);
            if (at < phase) {
                EXPECT_EQ(d.device.CountOf(Op::Write), 0);
            }
            EXPECT_EQ(CleanComplaint(judge.Of(d.device.Image()), volume.digest), "");
        }
    }
}

// A failed write ends the run at once with the disk error message; what is
// on the volume is what a crash at that point would leave.
TEST_F(DefragSafety, FailedWriteEndsTheRunWithTheDiskErrorAndKeepsEveryFile) {
    for (const std::string& args : {kFat16, kFat32}) {
        SCOPED_TRACE(args);
        const FragVolume& volume = Volume(args);
        ASSERT_FALSE(volume.image.empty());
        DefragDrive clean(volume.image, false);
        clean.Run();
        const uint64_t writes = clean.device.WritesCounted();
        const std::set<uint64_t> window = DotDotWindow(clean.device);
        for (uint64_t k : Sample(writes, 6, false)) {
            SCOPED_TRACE("failing write " + std::to_string(k));
            DefragDrive d(volume.image, false);
            d.device.FailWrite(k);
            d.Run();
            const RunState& run = d.ctx.run;
            EXPECT_EQ(run.ErrorStop, 1);
            EXPECT_TRUE(run.DiskIoFailed);
            EXPECT_TRUE(d.LastLogLineIs("Error stop"));
            const EndOfRunMessage message = ChooseEndOfRunMessage(run);
            EXPECT_EQ(message.style, MessageStyle::Critical);
            EXPECT_EQ(message.text.rfind("A serious disk error has been detected on this drive.", 0), 0u)
                << message.text;
            EXPECT_TRUE(d.Released());
            EXPECT_EQ(d.device.UnflushedWriteCount(), 0u);
            // The step under way may finish its table writes; nothing else follows.
            for (const ScriptedDevice::Request& r : d.device.Requests())
                if (r.op == Op::Write && r.number > k) {
                    EXPECT_EQ(r.kind, WriteKind::AllocationTable) << r.number;
                }
            EXPECT_EQ(LeftBehindComplaint(judge.Of(d.device.Image()), volume.digest, window.count(k) != 0), "");
        }
    }
}

// Another program's write seen when a move climbs to the write lock: the
// move is not made, the pass starts again from a fresh analysis and finishes.
TEST_F(DefragSafety, OutsideChangeSeenAtAClimbRestartsThePass) {
    for (const std::string& args : {kFat16, kFat32}) {
        SCOPED_TRACE(args);
        const FragVolume& volume = Volume(args);
        ASSERT_FALSE(volume.image.empty());
        DefragDrive clean(volume.image, true);
        clean.Run();
        const int before = clean.phaseFlagReads;
        const int climbs = clean.device.CountOf(Op::GetLockFlagState) - before;
        ASSERT_GT(climbs, 3);
        for (int climb : {1, climbs / 2, climbs}) {
            SCOPED_TRACE("outside write seen at the phase's climb " + std::to_string(climb));
            DefragDrive d(volume.image, true);
            std::vector<int> flags(static_cast<size_t>(before + climb - 1), 0);
            flags.push_back(1);
            d.device.QueueLockFlags(flags);
            d.Run();
            EXPECT_EQ(d.device.CountOf(Op::Open), 2);
            EXPECT_EQ(d.ctx.run.ErrorStop, 0) << d.ctx.run.ErrorMessage;
            EXPECT_FALSE(d.ctx.run.StopRequested);
            EXPECT_TRUE(d.Released());
            EXPECT_TRUE(std::find(d.view.log.begin(), d.view.log.end(), "(User stop)") == d.view.log.end());
            EXPECT_EQ(CleanComplaint(judge.Of(d.device.Image()), volume.digest), "");
        }
    }
}

}  // namespace
}  // namespace quillo
