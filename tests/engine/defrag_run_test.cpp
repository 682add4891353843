// A Defragment run end to end through the console front end: on real
// fragmented images the volume stays clean, every file keeps its content,
// no movable file stays fragmented and packed folders lose their erased
// entries.
#include <gtest/gtest.h>

#include <utility>

#include "tests/support/console_run.h"

namespace quillo {
namespace {

using test::JsonNumber;
using test::ShellQuote;

class DefragRun : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveFatTools()) GTEST_SKIP() << "mkfs.fat or mtools missing";
    }
    test::ConsoleRun Run(const std::string& args) const { return test::RunConsole(args, dir.File("config")); }
    // Defragments drive `drive` of `image` and checks the outcome against the
    // outside checkers. Returns the run's JSON summary and a later Check's.
    std::pair<std::string, std::string> DefragAndVerify(const std::string& attach, const std::string& image,
                                                        const std::string& drive) {
        const std::string before = test::FatinspectJson(image, "--contents-digest");
        const test::ConsoleRun r = Run(attach + " --json defrag " + drive);
        EXPECT_EQ(r.status, 0) << r.output;
        const std::string summary = r.Json();
        EXPECT_NE(summary.find("\"error_stop\": false"), std::string::npos) << r.output;
        const std::string after = test::FatinspectJson(image, "--contents-digest");
        EXPECT_EQ(test::JsonField(after, "contents_digest"), test::JsonField(before, "contents_digest"));
        EXPECT_EQ(test::JsonField(after, "errors"), "[]") << after;
        EXPECT_EQ(JsonNumber(after, "lost_clusters"), 0);
        // The summary describes the volume as the run left it: a Check now
        // finds the same figures.
        const std::string checked = Run(attach + " --json check " + drive).Json();
        for (const char* figure : {"files", "folders", "chains", "fragmented_files", "fragmented_clusters", "gaps",
                                   "volume_sectors", "free_sectors", "lost_sectors", "erased_entries"})
            EXPECT_EQ(JsonNumber(summary, figure), JsonNumber(checked, figure)) << figure;
        EXPECT_GE(JsonNumber(summary, "fragmented_files_before"), JsonNumber(summary, "fragmented_files"));
        return {summary, checked};
    }
    test::TempDir dir;
};

TEST_F(DefragRun, PresetsAndChurnedSeedsComeOutCleanAndContiguous) {
    struct Case {
        std::string args;
        bool floppy;
    };
    std::vector<Case> cases = {{"--preset floppy", true}, {"--preset small16", false},
                               {"--preset mid32", false}};
    for (int seed = 1; seed <= 6; ++seed) {
        cases.push_back({"--fat 16 --size-mb 16 --files 120 --dirs 6 --churn 5 --seed " + std::to_string(seed), false});
        cases.push_back({"--fat 32 --size-mb 34 --files 120 --dirs 6 --churn 5 --seed " + std::to_string(seed), false});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const std::string image = dir.File("vol.img");
        ASSERT_TRUE(test::MakeFragImage(image, c.args));
        const std::string attach = (c.floppy ? "--floppy " : "--disk ") + ShellQuote(image);
        const std::string drive = c.floppy ? "A" : "C";
        const std::optional<int64_t> erasedBefore = JsonNumber(Run(attach + " --json check " + drive).Json(), "erased_entries");
        const auto [summary, checked] = DefragAndVerify(attach, image, drive);
        if (!c.floppy) {
            EXPECT_EQ(JsonNumber(summary, "fragmented_files"), 0) << summary;
        }
        EXPECT_GT(JsonNumber(summary, "moved_files").value_or(0), 0);
        EXPECT_GT(JsonNumber(summary, "fragmented_files_before").value_or(0), 0) << summary;
        // Only the root folder keeps erased entries: every other folder is packed.
        ASSERT_TRUE(erasedBefore && JsonNumber(checked, "erased_entries")) << checked;
        EXPECT_LE(JsonNumber(checked, "erased_entries"), erasedBefore);
        if (*erasedBefore > 0) {
            EXPECT_LT(JsonNumber(checked, "erased_entries"), erasedBefore);
        }
    }
}

TEST_F(DefragRun, BothVolumesOfAPartitionedDiskInOneRun) {
    const std::string image = dir.File("disk.img");
    ASSERT_TRUE(test::MakeFragImage(image, "--preset disk"));
    const char* partitions[] = {"--partition 1", "--partition 5"};
    std::string before[2];
    for (int i = 0; i < 2; ++i)
        before[i] = *test::JsonField(test::FatinspectJson(image, std::string(partitions[i]) + " --contents-digest"),
                                     "contents_digest");
    // One process, two drives: nothing of the first run may leak into the second.
    const test::ConsoleRun r = Run("--disk " + ShellQuote(image) + " defrag C D");
    ASSERT_EQ(r.status, 0) << r.output;
    for (int i = 0; i < 2; ++i) {
        const std::string after = test::FatinspectJson(image, std::string(partitions[i]) + " --contents-digest");
        EXPECT_EQ(test::JsonField(after, "contents_digest"), before[i]);
        EXPECT_EQ(test::JsonField(after, "errors"), "[]") << after;
        EXPECT_EQ(JsonNumber(after, "fragmented_files"), 0);
    }
}

TEST_F(DefragRun, ASecondRunHasNothingToDo) {
    const std::string image = dir.File("vol.img");
    ASSERT_TRUE(test::MakeFragImage(image, "--fat 16 --size-mb 16 --files 60 --dirs 4 --churn 3 --seed 9"));
    ASSERT_EQ(Run("--disk " + ShellQuote(image) + " defrag C").status, 0);
    const std::vector<uint8_t> packed = test::ReadFileBytes(image);
    const test::ConsoleRun again = Run("--disk " + ShellQuote(image) + " --json defrag C");
    EXPECT_NE(again.output.find("(Nothing done)"), std::string::npos) << again.output;
    EXPECT_EQ(JsonNumber(again.Json(), "moved_files"), 0);
    EXPECT_TRUE(test::ReadFileBytes(image) == packed);
}

}  // namespace
}  // namespace quillo
