// What a power cut can leave besides lost clusters, met by the next run
// through the console front end: a Check reports it and writes nothing, a
// Defragment corrects it first and comes out clean with every file intact.
#include <gtest/gtest.h>

#include <functional>

#include "common/little_endian.h"
#include "tests/support/console_run.h"

namespace quillo {
namespace {

using test::JsonNumber;
using test::ShellQuote;

class InterruptedRun : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveFatTools()) GTEST_SKIP() << "mkfs.fat or mtools missing";
    }
    test::ConsoleRun Run(const std::string& args) const { return test::RunConsole(args, dir.File("config")); }
    int Fsck() const { return test::RunCommand("PATH=\"$PATH:/sbin:/usr/sbin\" fsck.fat -n " + ShellQuote(image)); }
    std::string Digest() const {
        return test::JsonField(test::FatinspectJson(image, "--contents-digest"), "contents_digest").value_or("?");
    }
    // A volume with TREE/SUB/DEEP and a few files, fsck-clean.
    void Build(const std::string& mkfsArgs, uint64_t kib) {
        ASSERT_TRUE(test::MakeFatImage(image, kib, mkfsArgs));
        const std::string i = " -i " + ShellQuote(image) + " ";
        ASSERT_EQ(test::RunCommand("mmd" + i + "::TREE ::TREE/SUB ::TREE/SUB/DEEP"), 0);
        for (const char* name : {"A.TXT", "TREE/B.BIN", "TREE/SUB/C.DAT", "TREE/SUB/DEEP/D.DAT"}) {
            const std::string local = dir.File("local");
            test::WriteFileBytes(local, 0, std::vector<uint8_t>(3000 + 700 * std::string(name).size(), name[0]));
            ASSERT_EQ(test::RunCommand("mcopy" + i + ShellQuote(local) + " ::" + name), 0);
        }
        ASSERT_EQ(Fsck(), 0);
        geometry = test::FatinspectJson(image, "--list");
    }
    int64_t Field(const char* key) const { return JsonNumber(geometry, key).value_or(0); }
    uint32_t FirstCluster(const std::string& path) const {
        const std::string entries = test::JsonField(geometry, "entries").value_or("[]");
        for (size_t k = 0;; ++k) {
            const std::optional<std::string> e = test::JsonArrayItem(entries, k);
            if (!e) return 0;
            if (test::JsonField(*e, "path") == path) return static_cast<uint32_t>(JsonNumber(*e, "first_cluster").value_or(0));
        }
    }
    uint64_t ClusterOffset(uint32_t cluster) const {
        const int64_t rootSectors = Field("root_entries") * 32 / 512;
        const int64_t dataStart = Field("reserved_sectors") + Field("num_fats") * Field("fat_sectors") + rootSectors;
        return static_cast<uint64_t>(dataStart + (cluster - 2) * Field("sectors_per_cluster")) * 512;
    }
    std::vector<uint8_t> Bytes(uint64_t offset, size_t count) const {
        const std::vector<uint8_t> all = test::ReadFileBytes(image);
        return {all.begin() + static_cast<std::ptrdiff_t>(offset), all.begin() + static_cast<std::ptrdiff_t>(offset + count)};
    }
    uint64_t TableOffset(int copy) const {
        return static_cast<uint64_t>(Field("reserved_sectors") + copy * Field("fat_sectors")) * 512;
    }

    test::TempDir dir;
    std::string image = dir.File("vol.img");
    std::string geometry;
};

// A folder's ".." left naming the root instead of its parent, as a cut in
// the middle of a folder move leaves it.
TEST_F(InterruptedRun, StaleDotDotIsReportedByCheckAndCorrectedByDefragment) {
    for (const char* mkfs : {"-F 12", "-F 16 -s 1", "-F 32 -s 1"}) {
        SCOPED_TRACE(mkfs);
        Build(mkfs, std::string(mkfs) == "-F 32 -s 1" ? 34000 : 4096);
        const std::string digest = Digest();
        std::vector<uint8_t> entry = Bytes(ClusterOffset(FirstCluster("/TREE/SUB")) + 32, 32);
        ASSERT_EQ(std::string(entry.begin(), entry.begin() + 11), "..         ");
        put_le16(&entry[26], 0);
        put_le16(&entry[20], 0);
        ASSERT_TRUE(test::WriteFileBytes(image, ClusterOffset(FirstCluster("/TREE/SUB")) + 32, entry));
        ASSERT_NE(Fsck(), 0);
        const std::vector<uint8_t> damaged = test::ReadFileBytes(image);

        const test::ConsoleRun check = Run("--disk " + ShellQuote(image) + " check C");
        EXPECT_EQ(check.status, 0) << check.output;
        EXPECT_NE(check.output.find("C:\\TREE\\SUB: \"..\" names the wrong folder"), std::string::npos) << check.output;
        EXPECT_TRUE(test::ReadFileBytes(image) == damaged);

        const test::ConsoleRun defrag = Run("--disk " + ShellQuote(image) + " defrag C");
        EXPECT_EQ(defrag.status, 0) << defrag.output;
        EXPECT_NE(defrag.output.find("C:\\TREE\\SUB: \"..\" corrected"), std::string::npos) << defrag.output;
        EXPECT_EQ(Fsck(), 0);
        EXPECT_EQ(Digest(), digest);
    }
}

// FAT12 copies are written one at a time, so a cut tears at most one. The
// second copy stays what it was; the first is changed as a cut may leave it.
TEST_F(InterruptedRun, TornFirstFat12CopyGivesWayToTheSecond) {
    struct Case {
        const char* what;
        // Changes entry values of the first copy; gets the copy's entry reader and writer.
        std::function<void(const std::function<uint32_t(uint32_t)>&, const std::function<void(uint32_t, uint32_t)>&,
                           uint32_t fileHead, uint32_t freeCluster)>
            tear;
    };
    const Case cases[] = {
        // A link into a free cluster: the first copy is not well formed.
        {"a chain runs into a free cluster",
         [](auto, auto set, uint32_t head, uint32_t free) { set(head, free); }},
        // Well formed on its own, but a lost cluster leads into a file's
        // first cluster: the analysis finds the cross-link, and the run
        // starts again on the second copy.
        {"a lost cluster leads into a file",
         [](auto, auto set, uint32_t head, uint32_t free) { set(free, head); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Build("-F 12 -s 1", 2048);
        const uint32_t head = FirstCluster("/TREE/B.BIN");
        const std::string digest = Digest();
        std::vector<uint8_t> table = Bytes(TableOffset(0), static_cast<size_t>(Field("fat_sectors") * 512));
        auto get = [&](uint32_t n) {
            const uint32_t word = le16(&table[n * 3 / 2]);
            return (n & 1) ? word >> 4 : word & 0xFFF;
        };
        auto set = [&](uint32_t n, uint32_t v) {
            uint8_t* p = &table[n * 3 / 2];
            const uint16_t word = le16(p);
            put_le16(p, static_cast<uint16_t>((n & 1) ? (word & 0x000F) | (v << 4) : (word & 0xF000) | v));
        };
        const uint32_t freeCluster = static_cast<uint32_t>(Field("total_clusters"));  // the last, never used here
        ASSERT_EQ(get(freeCluster), 0u);
        c.tear(get, set, head, freeCluster);
        ASSERT_TRUE(test::WriteFileBytes(image, TableOffset(0), table));
        const std::vector<uint8_t> torn = test::ReadFileBytes(image);

        const test::ConsoleRun check = Run("--disk " + ShellQuote(image) + " check C");
        EXPECT_EQ(check.status, 0) << check.output;
        EXPECT_NE(check.output.find("The allocation table copies differ: the second copy is used"), std::string::npos)
            << check.output;
        EXPECT_TRUE(test::ReadFileBytes(image) == torn);

        const test::ConsoleRun defrag = Run("--disk " + ShellQuote(image) + " defrag C");
        EXPECT_EQ(defrag.status, 0) << defrag.output;
        EXPECT_NE(defrag.output.find("First allocation table rewritten from the second copy"), std::string::npos)
            << defrag.output;
        EXPECT_EQ(Fsck(), 0);
        EXPECT_EQ(Digest(), digest);
    }
}

}  // namespace
}  // namespace quillo
