// Volumes we do not work on, one row each: how the volume is made, what
// fsck.fat -n says of it, and the reason we give. Such a volume still gets
// its drive letter: `drives` lists it with the reason, a Check or a
// Defragment of it says why it is not supported, each ends with status 1,
// and nothing is written.
#include <gtest/gtest.h>

#include <functional>

#include "common/little_endian.h"
#include "tests/support/console_run.h"
#include "tests/support/test_images.h"

namespace quillo {
namespace {

using test::ShellQuote;

struct Row {
    const char* what;
    const char* mkfsArgs;
    uint64_t kib;
    std::function<void(const std::string& image)> change;  // after mkfs.fat
    int fsckStatus;
    const char* reason;
};

void PatchBytes(const std::string& image, uint64_t offset, std::vector<uint8_t> bytes) {
    ASSERT_TRUE(test::WriteFileBytes(image, offset, bytes));
}

// The boot sector's total sectors set to hold exactly `clusters` clusters,
// and the image cut to that size.
void SetClusterCount(const std::string& image, uint32_t clusters) {
    const std::vector<uint8_t> boot = test::ReadFileBytes(image);
    const uint32_t dataStart = le16(&boot[14]) + 2u * le16(&boot[22]) + le16(&boot[17]) * 32u / 512;
    const uint32_t total = dataStart + clusters * boot[13];
    std::vector<uint8_t> field(2);
    put_le16(field.data(), static_cast<uint16_t>(total));
    PatchBytes(image, 19, field);
    ASSERT_TRUE(test::SetFileSize(image, uint64_t{total} * 512));
}

class UnsupportedVolumes : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveFatTools()) GTEST_SKIP() << "mkfs.fat or mtools missing";
    }
    test::ConsoleRun Run(const std::string& image, const std::string& args) const {
        return test::RunConsole("--disk " + ShellQuote(image) + " " + args, dir.File("config"));
    }
    // `drives`, `check` and `defrag` of drive C: of `image`, which holds a
    // volume not supported for `reason`.
    void ExpectRefusedEverywhere(const std::string& image, const std::string& reason) {
        const std::vector<uint8_t> before = test::ReadFileBytes(image);
        const test::ConsoleRun listed = Run(image, "drives");
        EXPECT_EQ(listed.status, 1) << listed.output;
        EXPECT_NE(listed.output.find("C:  not supported: " + reason), std::string::npos) << listed.output;
        const test::ConsoleRun json = Run(image, "--json drives");
        EXPECT_EQ(json.status, 1);
        EXPECT_EQ(test::JsonField(json.output, "unsupported"), reason) << json.output;
        for (const char* command : {"check", "defrag"}) {
            const test::ConsoleRun r = Run(image, std::string("--json ") + command + " C");
            EXPECT_EQ(r.status, 1) << command << ": " << r.output;
            EXPECT_NE(r.output.find("Not supported: " + reason), std::string::npos) << r.output;
            EXPECT_EQ(test::JsonField(r.Json(), "unsupported"), reason) << r.output;
        }
        EXPECT_TRUE(test::ReadFileBytes(image) == before) << "a volume that is not supported was written";
    }
    test::TempDir dir;
};

TEST_F(UnsupportedVolumes, EachIsListedWithItsReasonAndNeverWritten) {
    const Row rows[] = {
        {"one allocation table", "-F 16 -s 1 -f 1", 8192, {}, 0, "2 allocation tables needed, this volume has 1"},
        {"three allocation tables", "-F 16 -s 1 -f 3", 8192, {}, 1, "2 allocation tables needed, this volume has 3"},
        {"FAT32 with mirroring off", "-F 32 -s 1", 40000,
         [](const std::string& image) { PatchBytes(image, 40, {0x81, 0x00}); }, 0,
         "allocation table mirroring is off: only table 2 is kept current"},
        {"image cut short", "-F 16 -s 1", 8192,
         [](const std::string& image) { ASSERT_TRUE(test::SetFileSize(image, 5000 * 1024)); }, 1,
         "the image ends 3.1 MB before the volume does: truncated?"},
        {"FAT16 of exactly 4085 clusters", "-F 16 -s 1", 8192,
         [](const std::string& image) { SetClusterCount(image, 4085); }, 0,
         "4085 clusters: neither clearly FAT12 nor FAT16"},
        {"4096-byte sectors", "-F 16 -s 1 -S 4096", 65536, {}, 0, "bytes per sector is 4096, only 512 is supported"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::string image = dir.File("vol.img");
        std::remove(image.c_str());
        ASSERT_TRUE(test::MakeFatImage(image, row.kib, row.mkfsArgs));
        if (row.change) row.change(image);
        std::string fsck;
        EXPECT_EQ(test::RunCommand("PATH=\"$PATH:/sbin:/usr/sbin\" fsck.fat -n " + ShellQuote(image), &fsck),
                  row.fsckStatus) << fsck;
        ExpectRefusedEverywhere(image, row.reason);
    }
}

// A FAT partition whose volume we refuse takes its letter as the platform
// gives it; the next disk's volume comes after it.
TEST_F(UnsupportedVolumes, ARefusedPartitionKeepsItsLetter) {
    const std::string volume = dir.File("part.img");
    ASSERT_TRUE(test::MakeFatImage(volume, 8192, "-F 16 -s 1 -f 1"));
    const std::vector<uint8_t> part = test::ReadFileBytes(volume);
    const std::string disk = dir.File("disk.img");
    std::vector<uint8_t> mbr(512, 0);
    test::PutPartitionEntry(mbr.data(), 0, 0x06, 63, static_cast<uint32_t>(part.size() / 512));
    test::PutSignature(mbr.data());
    ASSERT_TRUE(test::WriteFileBytes(disk, 0, mbr) && test::WriteFileBytes(disk, 63 * 512, part));
    ExpectRefusedEverywhere(disk, "2 allocation tables needed, this volume has 1");

    const std::string good = dir.File("good.img");
    ASSERT_TRUE(test::MakeFatImage(good, 8192, "-F 16 -s 1"));
    const test::ConsoleRun both =
        test::RunConsole("--disk " + ShellQuote(disk) + " --disk " + ShellQuote(good) + " drives", dir.File("config"));
    EXPECT_EQ(both.status, 1);
    EXPECT_NE(both.output.find("C:  not supported"), std::string::npos) << both.output;
    EXPECT_NE(both.output.find("D:  "), std::string::npos) << both.output;
    EXPECT_EQ(test::RunConsole("--disk " + ShellQuote(good) + " check C", dir.File("config")).status, 0);
}

}  // namespace
}  // namespace quillo
