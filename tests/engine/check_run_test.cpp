// A Check run end to end: the console front end on real images against the
// independent checker and restarts. A Stop during the analysis is proven
// by defrag_safety_test. Damaged volumes are in
// damaged_volume_test.
#include <gtest/gtest.h>

#include "engine/end_of_run.h"
#include "engine/run_driver.h"
#include "tests/support/console_run.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/test_images.h"

namespace quillo {
namespace {

using test::JsonNumber;
using test::ShellQuote;
using Op = ScriptedDevice::Op;

// `check` of `drives` on the disk or floppy `attach` names, with a JSON summary per drive.
test::ConsoleRun CheckImage(const std::string& attach, const std::string& drives, const std::string& config) {
    return test::RunConsole(attach + " --json check " + drives, config);
}

// The Check's figures against fatinspect's for the same volume.
void ExpectFiguresMatch(const std::string& ours, const std::string& theirs) {
    const bool fat32 = test::JsonField(theirs, "fat_type") == "FAT32";
    EXPECT_EQ(JsonNumber(ours, "files"), JsonNumber(theirs, "files"));
    // The FAT32 root folder has a chain and counts as a folder here.
    EXPECT_EQ(JsonNumber(ours, "folders"), *JsonNumber(theirs, "dirs") + (fat32 ? 1 : 0));
    // Neither counts the FAT32 root folder among the fragmented files.
    EXPECT_EQ(JsonNumber(ours, "fragmented_files"), JsonNumber(theirs, "fragmented_files"));
    EXPECT_EQ(JsonNumber(ours, "gaps"), JsonNumber(theirs, "free_gaps"));
    const int64_t spc = *JsonNumber(theirs, "sectors_per_cluster");
    EXPECT_EQ(JsonNumber(ours, "free_sectors"), *JsonNumber(theirs, "free_clusters") * spc);
    EXPECT_EQ(JsonNumber(ours, "lost_sectors"), *JsonNumber(theirs, "lost_clusters") * spc);
    EXPECT_EQ(JsonNumber(ours, "volume_sectors"), *JsonNumber(theirs, "total_clusters") * spc);
    EXPECT_NE(ours.find("\"error_stop\": false"), std::string::npos) << ours;
}

class CheckRun : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveFatTools()) GTEST_SKIP() << "mkfs.fat or mtools missing";
    }
    test::TempDir dir;
};

TEST_F(CheckRun, FiguresAgreeWithTheCheckerAndNothingIsWritten) {
    struct Case {
        const char* args;
        bool floppy;
    };
    const Case cases[] = {
        {"--preset floppy", true},
        {"--fat 16 --size-mb 24 --files 150 --dirs 8 --seed 11 --churn 4", false},
        {"--fat 32 --size-mb 40 --files 200 --dirs 12 --seed 5 --churn 3", false},
        {"--fat 12 --size-mb 4 --files 80 --dirs 5 --seed 3 --churn 2 --cluster-sectors 4", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const std::string image = dir.File("vol.img");
        ASSERT_TRUE(test::MakeFragImage(image, c.args));
        const std::vector<uint8_t> before = test::ReadFileBytes(image);
        const std::string drive = c.floppy ? "A" : "C";
        const test::ConsoleRun r = CheckImage((c.floppy ? "--floppy " : "--disk ") + ShellQuote(image),
                                         drive, dir.File("config"));
        ASSERT_EQ(r.status, 0) << r.output;
        ExpectFiguresMatch(r.Json(), test::FatinspectJson(image));
        EXPECT_NE(r.output.find("Fragmented files = "), std::string::npos) << r.output;
        EXPECT_TRUE(test::ReadFileBytes(image) == before);
    }
}

TEST_F(CheckRun, PartitionedDiskChecksEveryDriveInTurn) {
    const std::string image = dir.File("disk.img");
    ASSERT_TRUE(test::MakeFragImage(image, "--preset disk"));
    const test::ConsoleRun r = CheckImage("--disk " + ShellQuote(image), "c: D", dir.File("config"));
    ASSERT_EQ(r.status, 0) << r.output;
    const size_t second = r.output.find("Drive D:");
    ASSERT_NE(second, std::string::npos) << r.output;
    const size_t firstJson = r.output.find("{\"drive\": \"C:\"");
    ASSERT_LT(firstJson, second);
    const std::string cJson = r.output.substr(firstJson, r.output.find('\n', firstJson) - firstJson);
    ExpectFiguresMatch(cJson, test::FatinspectJson(image, "--partition 1"));
    ExpectFiguresMatch(r.Json(), test::FatinspectJson(image, "--partition 5"));
}

// Runs driven directly on a scripted device over a small image.
class ScriptedCheck : public CheckRun {
protected:
    void SetUp() override {
        CheckRun::SetUp();
        if (IsSkipped()) return;
        const std::string image = dir.File("vol.img");
        ASSERT_TRUE(test::MakeFragImage(image, "--fat 16 --size-mb 16 --files 40 --dirs 3 --seed 2"));
        drive = Fresh();
    }
    // A Check of C: on a new scripted drive over the image.
    std::unique_ptr<testing::ScriptedDrive> Fresh() const {
        auto d = std::make_unique<testing::ScriptedDrive>(
            drive ? drive->device.Image() : test::ReadFileBytes(dir.File("vol.img")));
        d->ctx.run.RunMode = -1;
        d->ctx.run.ScanFiles = true;
        d->ctx.run.DriveMenuIndex = 1;
        return d;
    }
    std::unique_ptr<testing::ScriptedDrive> drive;
};

// The words of each message come from real runs above; here only which
// flag wins when several are set.
TEST(EndOfRunMessage, FirstMatchingFlagWins) {
    RunState run;
    EXPECT_TRUE(ChooseEndOfRunMessage(run).text.empty());
    run.StructuralError = true;
    run.DriveBusy = true;
    EXPECT_EQ(ChooseEndOfRunMessage(run).style, MessageStyle::Information);
    run.DiskIoFailed = true;
    EXPECT_EQ(ChooseEndOfRunMessage(run).text.rfind("A serious disk error", 0), 0u);
}

std::vector<std::string> FragmentedLines(const testing::ScriptedDrive& d) {
    std::vector<std::string> lines;
    for (const RunLists::FragmentedItem& item : d.ctx.lists.Fragmented) lines.push_back(item.line);
    return lines;
}

// An outside write, seen during the scan or after it, restarts the pass; the
// restart must not keep the abandoned pass's lines: each fragmented file is
// listed once, as by a run without a restart.
TEST_F(ScriptedCheck, OutsideWriteRestartsThePassAndListsEachFragmentedFileOnce) {
    RunDrive(drive->ctx);
    const std::vector<std::string> once = FragmentedLines(*drive);
    ASSERT_FALSE(once.empty());
    // Flags of the climbs: the pass's first, the scan's, then the last one.
    for (const std::vector<int>& flags : {std::vector<int>{0, 1}, std::vector<int>{0, 0, 1}}) {
        SCOPED_TRACE(flags.size() == 2 ? "during the scan" : "after the scan");
        const auto again = Fresh();
        again->device.QueueLockFlags(flags);
        RunDrive(again->ctx);
        EXPECT_EQ(again->device.CountOf(Op::Open), 2);  // acquired twice
        EXPECT_NE(std::find(again->view.labels.begin(), again->view.labels.end(), "show 3"),
                  again->view.labels.end());
        EXPECT_FALSE(again->ctx.run.StopRequested);
        EXPECT_EQ(again->ctx.run.ErrorStop, 0);
        EXPECT_EQ(FragmentedLines(*again), once);
        EXPECT_EQ(again->ctx.lists.Large, drive->ctx.lists.Large);
        EXPECT_EQ(again->ctx.chains.FragmentedFiles, drive->ctx.chains.FragmentedFiles);  // counted once
        EXPECT_FALSE(again->device.IsOpen());
        EXPECT_EQ(again->device.CountOf(Op::Write), 0);
    }
}

}  // namespace
}  // namespace quillo
