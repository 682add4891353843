#include "disk/fat_table.h"

#include <gtest/gtest.h>

#include "common/little_endian.h"
#include "disk/fat_codec.h"
#include "disk/volume_geometry.h"
#include "disk/volume_lock.h"
#include "tests/support/engine_fixture.h"
#include "tests/support/test_images.h"

namespace quillo {
namespace {

using Op = ScriptedDevice::Op;
using test::TempDir;

// A volume made by mkfs.fat, opened and its table read through a scripted device.
class OpenedVolume {
public:
    OpenedVolume(uint64_t sizeKiB, const std::string& mkfsArgs) {
        path_ = dir_.File("vol.img");
        std::string error;
        made_ = test::MakeFatImage(path_, sizeKiB, mkfsArgs, &error);
        if (!made_) return;
        drive_ = std::make_unique<testing::ScriptedDrive>(test::ReadFileBytes(path_));
        EngineContext& ctx = drive_->ctx;
        ctx.run.RunMode = 1;
        ctx.run.DriveMenuIndex = 1;  // C:
        opened_ = AcquireVolume(ctx) && OpenVolume(ctx) && ReadFat(ctx);
        drive_->device.ClearRecord();
    }

    bool ready() const { return made_ && opened_; }
    EngineContext& ctx() { return drive_->ctx; }
    ScriptedDevice& device() { return drive_->device; }

    // The image as it is now, written back to a file for the outside checkers.
    std::string SaveImage() {
        test::WriteFileBytes(path_, 0, device().Image());
        return path_;
    }
    // Free clusters from 2 upward, `count` of them in a row.
    int32_t FreeRun(int32_t count) {
        auto& table = ctx().fat.FatTable;
        for (int32_t start = 2; start + count - 1 <= ctx().geo.MaxCluster; ++start) {
            int32_t n = 0;
            while (n < count && (table[start + n] & kFatMask) == 0) ++n;
            if (n == count) return start;
        }
        return 0;
    }
    // The (start, count) of each write request, in order.
    std::vector<std::pair<uint32_t, uint32_t>> Writes() {
        std::vector<std::pair<uint32_t, uint32_t>> writes;
        for (const auto& r : device().Requests())
            if (r.op == Op::Write) writes.emplace_back(r.start, r.count);
        return writes;
    }

private:
    TempDir dir_;
    std::string path_;
    bool made_ = false;
    bool opened_ = false;
    std::unique_ptr<testing::ScriptedDrive> drive_;
};

#define REQUIRE_VOLUME(v)                                                   \
    if (!test::HaveFatTools()) GTEST_SKIP() << "mkfs.fat or mtools missing"; \
    ASSERT_TRUE((v).ready())

// A floppy, a FAT16 volume with four reserved sectors, and a FAT32 volume.
const std::pair<uint64_t, const char*> kVolumes[] = {
    {1440, "-F 12 -f 2"}, {32768, "-F 16 -R 4 -s 4"}, {66000, "-F 32 -s 1"}};

TEST(OpenVolume, GeometryMatchesTheChecker) {
    for (const auto& [kib, args] : kVolumes) {
        OpenedVolume v(kib, args);
        REQUIRE_VOLUME(v);
        const Geometry& geo = v.ctx().geo;
        const std::string json = test::FatinspectJson(v.SaveImage());
        SCOPED_TRACE(args);
        EXPECT_EQ(geo.FileSystemName, test::JsonField(json, "fat_type").value_or("?"));
        EXPECT_EQ(geo.TotalClusters, test::JsonNumber(json, "total_clusters"));
        EXPECT_EQ(geo.FreeClusters, test::JsonNumber(json, "free_clusters"));
        EXPECT_EQ(geo.ReservedSectors, test::JsonNumber(json, "reserved_sectors"));
        EXPECT_EQ(geo.SectorsPerFat, test::JsonNumber(json, "fat_sectors"));
    }
}

TEST(FatTable, ClaimedChainWritesBothCopiesAndFreeingRestoresTheImage) {
    for (const auto& [kib, args] : kVolumes) {
        OpenedVolume v(kib, args);
        REQUIRE_VOLUME(v);
        SCOPED_TRACE(args);
        const std::vector<uint8_t> original = v.device().Image();
        auto& table = v.ctx().fat.FatTable;
        // An odd first cluster puts FAT12 entries across shared bytes.
        int32_t start = v.FreeRun(6);
        if (start % 2 == 0) ++start;
        for (int32_t c = start; c < start + 4; ++c) table[c] = (table[c] & ~kFatMask) | (c + 1);
        table[start + 4] |= kFatEndOfChain;
        ASSERT_TRUE(WriteFatRange(v.ctx(), start, 5));

        const std::string json = test::FatinspectJson(v.SaveImage(), "--strict");
        EXPECT_EQ(test::JsonNumber(json, "lost_clusters"), 5);  // a chain nobody owns yet
        EXPECT_EQ(json.find("FAT copies"), std::string::npos) << json;  // both copies alike

        const int32_t starts[] = {start};
        const int32_t counts[] = {5};
        ASSERT_TRUE(FreeRanges(v.ctx(), starts, counts));
        EXPECT_TRUE(v.device().Image() == original);
        EXPECT_EQ(test::RunCommand("fsck.fat -n " + test::ShellQuote(v.SaveImage())), 0);
    }
}

TEST(FatTable, Fat16RangeWritesCoverOnlyTheirSectorsAndBadClustersSurvive) {
    OpenedVolume v(32768, "-F 16 -R 4 -s 4");
    REQUIRE_VOLUME(v);
    const int32_t spf = v.ctx().geo.SectorsPerFat;
    ASSERT_TRUE(WriteFatRange(v.ctx(), 300, 5));  // entries 300..304: table sector 1, first copy first
    EXPECT_EQ(v.Writes(), (std::vector<std::pair<uint32_t, uint32_t>>{{4 + 1, 1}, {4 + 1 + spf, 1}}));
    v.device().ClearRecord();
    ASSERT_TRUE(WriteFatRange(v.ctx(), 254, 4));  // 254..257 straddle sectors 0 and 1
    EXPECT_EQ(v.Writes(), (std::vector<std::pair<uint32_t, uint32_t>>{{4, 2}, {4 + spf, 2}}));

    // A bad-cluster mark is widened on reading and written back unchanged.
    const int32_t bad = v.FreeRun(1);
    v.ctx().fat.FatTable[bad] = 0x0FFFFFF7;
    ASSERT_TRUE(WriteFatRange(v.ctx(), bad, 1));
    EXPECT_EQ(le16(&v.device().Image()[4 * 512 + bad * 2]), 0xFFF7);
    ASSERT_TRUE(RereadFatRange(v.ctx(), bad, 1));
    EXPECT_EQ(v.ctx().fat.FatTable[bad], 0x0FFFFFF7u);
}

TEST(FatTable, RefusedWritesTouchNothing) {
    OpenedVolume v(32768, "-F 16 -R 4 -s 4");
    REQUIRE_VOLUME(v);
    // Ranges outside the table.
    const int32_t past = v.ctx().geo.SectorsPerFat * 256;
    EXPECT_FALSE(WriteFatRange(v.ctx(), past, 1));
    const int32_t starts[] = {past - 1};
    const int32_t counts[] = {2};
    EXPECT_FALSE(FreeRanges(v.ctx(), starts, counts));
    EXPECT_EQ(v.device().CountOf(Op::Read), 0);
    EXPECT_FALSE(v.ctx().run.StructuralError);
    // A wrong media byte in entry 0 (as a 0xFFF0 entry reads) is a structural stop.
    v.ctx().fat.FatTable[0] = 0x0FFFFFF0;
    EXPECT_FALSE(WriteFatRange(v.ctx(), 10, 1));
    EXPECT_TRUE(v.ctx().run.StructuralError);
    EXPECT_EQ(v.ctx().run.ErrorMessage, "FAT error");
    EXPECT_EQ(v.device().CountOf(Op::Write), 0);
}

TEST(FatTable, Fat12KeepsTheNeighboursNibble) {
    OpenedVolume v(1440, "-F 12 -f 2");
    REQUIRE_VOLUME(v);
    auto& table = v.ctx().fat.FatTable;
    table[10] = 0xABC;
    table[11] = 0x123;
    ASSERT_TRUE(WriteFatRange(v.ctx(), 11, 1));
    table[11] = 0x0FFFFFFF;  // end of chain, widened
    ASSERT_TRUE(WriteFatRange(v.ctx(), 11, 1));
    ASSERT_TRUE(ReadFat(v.ctx()));
    EXPECT_EQ(table[10], 0xABCu);
    EXPECT_EQ(table[11], 0x0FFFFFFFu);
    EXPECT_EQ(table[12], 0u);
}

}  // namespace
}  // namespace quillo
