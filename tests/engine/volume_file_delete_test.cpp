// Deleting a duplicate from inside its volume: the Trash gets the bytes
// first, the volume ends as mdel would leave it, a busy volume is left
// alone, and a power cut after any write of the deletion loses nothing but
// clusters.
#include "engine/volume_file_delete.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "common/engine_context.h"
#include "engine/duplicate_list.h"
#include "tests/engine/move_volume.h"
#include "tests/support/attached_world.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/recording_sink.h"
#include "tests/support/test_images.h"

namespace quillo {
namespace {

namespace fs = std::filesystem;
using test::RunCommand;
using test::ShellQuote;

constexpr char kVictim[] = "C:\\DIR0\\Quarterly figures (copy).txt";


std::string Digest(const std::string& image) {
    std::string json;
    RunCommand("python3 -S " + ShellQuote(std::string(QUILLO_TOOLS_DIR) + "/fatcheck") + " " + ShellQuote(image) +
                   " --json --contents-digest 2>/dev/null",
               &json);
    return test::JsonField(json, "contents_digest").value_or("");
}

// A fragmented volume from mkfragimg with one name twice: the victim has a
// long name and more than one cluster.
struct Volume {
    std::string image;
    std::string bytes;            // the victim's content
    std::string digestBefore;
    std::string digestAfterMdel;  // the oracle: the same file deleted by mtools
};

Volume BuildVolume(const test::TempDir& dir, const std::string& args) {
    Volume v;
    v.image = dir.File("volume.img");
    EXPECT_TRUE(test::MakeFragImage(v.image, args));
    for (int i = 0; i < 3000; ++i) v.bytes += "figures " + std::to_string(i) + "\n";
    std::ofstream(dir.File("copy.txt"), std::ios::binary) << v.bytes;
    const std::string put = "mcopy -o -i " + ShellQuote(v.image) + " " + ShellQuote(dir.File("copy.txt")) + " ";
    EXPECT_EQ(RunCommand(put + ShellQuote("::Quarterly figures (copy).txt")), 0);
    EXPECT_EQ(RunCommand("mmd -D s -i " + ShellQuote(v.image) + " ::DIR0 2>/dev/null; " + put +
                         ShellQuote("::DIR0/Quarterly figures (copy).txt")),
              0);
    v.digestBefore = Digest(v.image);
    const std::string oracle = dir.File("oracle.img");
    fs::copy_file(v.image, oracle);
    EXPECT_EQ(RunCommand("mdel -i " + ShellQuote(oracle) + " " + ShellQuote("::DIR0/Quarterly figures (copy).txt")), 0);
    v.digestAfterMdel = Digest(oracle);
    return v;
}

class VolumeDeleteTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveFatTools()) GTEST_SKIP() << "mkfs.fat or mtools missing";
        setenv("XDG_DATA_HOME", dir_.File("data").c_str(), 1);
    }
    std::string TrashedBytes() { return test::ReadFileText(dir_.File("data/Trash/files/Quarterly figures (copy).txt")); }
    std::string TrashedInfo() { return test::ReadFileText(dir_.File("data/Trash/info/Quarterly figures (copy).txt.trashinfo")); }

    test::TempDir dir_;
};

TEST_F(VolumeDeleteTest, DuplicateRowDeletedThroughTheTrashLeavesWhatMdelLeaves) {
    for (const char* args : {"--fat 16 --size-mb 16 --files 60 --dirs 4 --seed 3 --churn 2",
                             "--fat 32 --size-mb 40 --files 60 --dirs 4 --seed 4 --churn 2"}) {
        SCOPED_TRACE(args);
        fs::remove_all(dir_.File("data"));
        fs::remove(dir_.File("volume.img"));
        fs::remove(dir_.File("oracle.img"));
        const Volume v = BuildVolume(dir_, args);
        ASSERT_NE(v.digestBefore, v.digestAfterMdel);
        test::AttachedWorld world({{v.image, false}});
        ListEnvironment env{world.ctx, "", [&](char letter) { return VolumeRestoreFolder(v.image, letter); }};
        DuplicateListSource source(env);
        test::RecordingSink sink;
        source.Fill(sink);
        ASSERT_EQ(sink.rows.size(), 2u);
        const ListRow victim = sink.rows[1];
        ASSERT_EQ(victim.key, kVictim);
        const DeleteOutcome outcome = source.Delete({victim});
        EXPECT_EQ(outcome.message, "1 files deleted.");
        EXPECT_EQ(outcome.removedKeys, std::vector<std::string>{kVictim});
        std::string fsck;
        EXPECT_EQ(RunCommand("fsck.fat -n " + ShellQuote(v.image), &fsck), 0) << fsck;
        EXPECT_EQ(Digest(v.image), v.digestAfterMdel);
        EXPECT_EQ(TrashedBytes(), v.bytes);
        EXPECT_NE(TrashedInfo().find("\nPath=" + EncodeTrashPath(v.image + "-C/DIR0/Quarterly figures (copy).txt") + "\n"),
                  std::string::npos)
            << TrashedInfo();
        // Gone now: a second delete of the same row changes nothing.
        EXPECT_EQ(source.Delete({victim}).message, "Some files could not be deleted.");
    }
}

TEST_F(VolumeDeleteTest, BusyVolumeKeepsTheFileAndTheTrashStaysEmpty) {
    const Volume v = BuildVolume(dir_, "--fat 16 --size-mb 16 --files 40 --dirs 3 --seed 5");
    const int holder = ::open(v.image.c_str(), O_RDWR);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(::flock(holder, LOCK_EX), 0);  // as an emulator holds its disk
    test::AttachedWorld world({{v.image, false}});
    EXPECT_EQ(DeleteVolumeFile(world.ctx, kVictim, dir_.File("restored/x.txt")), VolumeDeleteResult::Busy);
    ::close(holder);
    EXPECT_EQ(Digest(v.image), v.digestBefore);
    EXPECT_FALSE(fs::exists(dir_.File("data/Trash/files/x.txt")));
}

// The fsck lines a deletion cut short may cause besides lost clusters: the
// free-cluster hint of FAT32 that counts them.
std::vector<std::string> RealProblems(const test::Verdict& v) {
    std::vector<std::string> problems;
    for (const std::string& p : v.problems)
        if (p.rfind("fsck.fat: Free cluster summary", 0) != 0 && p != "fsck.fat:   Auto-correcting.")
            problems.push_back(p);
    return problems;
}

TEST_F(VolumeDeleteTest, PowerCutAfterAnyWriteOfTheDeletionLosesNothingButClusters) {
    for (const char* args : {"--fat 16 --size-mb 16 --files 40 --dirs 3 --seed 6",
                             "--fat 32 --size-mb 40 --files 40 --dirs 3 --seed 7"}) {
        SCOPED_TRACE(args);
        fs::remove(dir_.File("volume.img"));
        fs::remove(dir_.File("oracle.img"));
        const Volume v = BuildVolume(dir_, args);
        const std::vector<uint8_t> image = test::ReadFileBytes(v.image);
        uint64_t writes = 0;
        {
            testing::ScriptedDrive clean(image);
            ASSERT_EQ(DeleteVolumeFile(clean.ctx, kVictim, "/restored/copy.txt"), VolumeDeleteResult::Deleted);
            writes = clean.device.WritesCounted();
            ASSERT_GE(writes, 3u);
        }
        test::JudgeCache judge(dir_.File("scratch.img"));
        for (uint64_t k = 1; k <= writes; ++k) {
            fs::remove_all(dir_.File("data"));
            testing::ScriptedDrive drive(image);
            drive.device.CrashAfterWrite(k);
            DeleteVolumeFile(drive.ctx, kVictim, "/restored/copy.txt");
            ASSERT_TRUE(drive.device.PowerIsCut()) << k;
            // The copy was on stable storage before the first write.
            EXPECT_EQ(test::ReadFileText(dir_.File("data/Trash/files/copy.txt")), v.bytes) << k;
            for (RebootMode mode : {RebootMode::DropUnflushed, RebootMode::KeepRandomSubset, RebootMode::TornLastWrite}) {
                const test::Verdict& verdict = judge.Of(drive.device.ImageAfterReboot(mode, k));
                EXPECT_TRUE(RealProblems(verdict).empty())
                    << "write " << k << " mode " << static_cast<int>(mode) << ": " << RealProblems(verdict).front();
                EXPECT_TRUE(verdict.digest == v.digestBefore || verdict.digest == v.digestAfterMdel)
                    << "write " << k << " mode " << static_cast<int>(mode);
            }
        }
    }
}

}  // namespace
}  // namespace quillo
