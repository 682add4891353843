#include "disk/disk_layout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/support/test_images.h"

namespace quillo {
namespace {

using test::JsonField;
using test::JsonNumber;

// ---- disks made by the test tools, checked against fatinspect

std::vector<FatVolumeLocation> ScanImage(const std::string& image, std::string* error) {
    std::unique_ptr<DiskReader> disk = OpenDiskFile(image, error);
    if (!disk) return {};
    return FindFatVolumes(*disk, error);
}

void ExpectMatchesFatinspect(const std::string& image, const FatVolumeLocation& v) {
    SCOPED_TRACE("partition " + std::to_string(v.partitionNumber));
    const std::string json = v.partitionNumber == 0
                                 ? test::FatinspectJson(image, "--offset 0")
                                 : test::FatinspectJson(image, "--partition " +
                                                                   std::to_string(v.partitionNumber));
    ASSERT_FALSE(json.empty());
    EXPECT_EQ(JsonNumber(json, "offset"), static_cast<int64_t>(v.byteOffset));
    EXPECT_EQ(JsonField(json, "fat_type"), v.bootSector.fileSystemName);
    EXPECT_EQ(JsonNumber(json, "reserved_sectors"), v.bootSector.reservedSectors);
    EXPECT_EQ(JsonNumber(json, "fat_sectors"), v.bootSector.sectorsPerFat);
    EXPECT_EQ(JsonNumber(json, "total_clusters"), v.bootSector.clusterCount);
    EXPECT_EQ(JsonNumber(json, "total_sectors"), static_cast<int64_t>(v.bootSector.totalSectors));
    if (v.partitionNumber != 0) {
        const std::string part = JsonField(json, "partition").value_or("{}");
        EXPECT_EQ(JsonNumber(part, "type"), v.partitionType);
        EXPECT_EQ(JsonNumber(part, "sectors"), static_cast<int64_t>(v.sectorCount));
        EXPECT_EQ(JsonField(part, "kind"), v.isLogical ? "logical" : "primary");
    }
}

struct ToolDisk {
    const char* name;
    const char* mkfragimgArgs;
    std::vector<int> partitions;
    std::vector<int> types;
};

void PrintTo(const ToolDisk& c, std::ostream* os) { *os << c.name; }

class LayoutOfToolDisk : public ::testing::TestWithParam<ToolDisk> {};

TEST_P(LayoutOfToolDisk, FindsEveryFatVolumeWhereFatinspectDoes) {
    if (!test::HaveFatTools()) GTEST_SKIP() << "mkfs.fat or mtools missing";
    test::TempDir dir;
    const std::string image = dir.File("disk.img");
    std::string error;
    ASSERT_TRUE(test::MakeFragImage(image, GetParam().mkfragimgArgs, &error)) << error;

    std::vector<FatVolumeLocation> volumes = ScanImage(image, &error);
    EXPECT_EQ(error, "");
    std::vector<int> numbers, types;
    for (const FatVolumeLocation& v : volumes) {
        numbers.push_back(v.partitionNumber);
        types.push_back(v.partitionType);
        EXPECT_EQ(v.isLogical, v.partitionNumber >= 5);
        ExpectMatchesFatinspect(image, v);
    }
    EXPECT_EQ(numbers, GetParam().partitions);
    EXPECT_EQ(types, GetParam().types);
}

INSTANTIATE_TEST_SUITE_P(
    Mkfragimg, LayoutOfToolDisk,
    ::testing::Values(
        ToolDisk{"Superfloppy", "--fat 16 --size-mb 16 --files 4 --dirs 1 --churn 0", {0}, {0}},
        ToolDisk{"PresetDisk", "--preset disk --files 10 --dirs 2 --churn 0", {1, 5}, {0x0E, 0x0C}},
        ToolDisk{"ChsAlignedAt63", "--fat 12 --size-mb 2 --partition 63 --files 4 --dirs 1 --churn 0",
                 {1}, {0x01}},
        ToolDisk{"ThreeLogicals",
                 "--fat 12 --size-mb 2 --partition --extended 3 --ext-fat 16 --ext-size-mb 8 "
                 "--ext-cluster-sectors 2 "
                 "--files 4 --dirs 1 --churn 0",
                 {1, 5, 6, 7}, {0x01, 0x0E, 0x0E, 0x0E}},
        ToolDisk{"ChsLogicals",
                 "--fat 16 --size-mb 8 --cluster-sectors 2 --partition 63 --extended 2 --ext-fat 12 "
                 "--ext-size-mb 2 "
                 "--files 4 --dirs 1 --churn 0",
                 {1, 5, 6}, {0x06, 0x01, 0x01}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- hand-made partition tables in memory

constexpr uint32_t kVolumeSectors = 2048;

// A disk of `sectors` zero sectors with a small FAT12 volume at each `volumes`
// start, and an MBR signature.
class MemoryDisk {
public:
    explicit MemoryDisk(uint32_t sectors) : bytes_(uint64_t{sectors} * 512, 0) {
        test::PutSignature(&bytes_[0]);
    }
    uint8_t* Sector(uint32_t lba) { return &bytes_[uint64_t{lba} * 512]; }
    void Volume(uint32_t lba) {
        // 2048 sectors, 1 reserved, two 2-sector tables, 512 root entries: 502 clusters.
        std::vector<uint8_t> boot = test::MakeBootSector({12, kVolumeSectors, 4, 1, 2, 512, "V"});
        std::copy(boot.begin(), boot.end(), Sector(lba));
    }
    void Primary(int slot, uint8_t type, uint32_t lba, uint32_t sectors, bool format = true) {
        test::PutPartitionEntry(Sector(0), slot, type, lba, sectors);
        if (format) Volume(lba);
    }
    // An extended boot record at `ebr` holding a logical at ebr + `offset` and,
    // when `next` is not 0, a link to the record at extendedStart + `next`.
    void Ebr(uint32_t ebr, uint8_t type, uint32_t offset, uint32_t sectors, uint32_t next,
             bool format = true) {
        uint8_t* s = Sector(ebr);
        test::PutPartitionEntry(s, 0, type, offset, sectors);
        if (next) test::PutPartitionEntry(s, 1, 0x05, next, 1);
        test::PutSignature(s);
        if (format && type) Volume(ebr + offset);
    }
    std::vector<FatVolumeLocation> Scan(std::string* error) {
        MemoryDiskReader reader(bytes_);
        return FindFatVolumes(reader, error);
    }

private:
    std::vector<uint8_t> bytes_;
};

std::vector<int> Numbers(const std::vector<FatVolumeLocation>& volumes) {
    std::vector<int> n;
    for (const FatVolumeLocation& v : volumes) n.push_back(v.partitionNumber);
    return n;
}

TEST(DiskLayout, OffersOnlyFatTypesWithGoodBootSectors) {
    MemoryDisk disk(5 * kVolumeSectors + 100);
    disk.Primary(0, 0x83, 1, kVolumeSectors);                       // FAT inside, type says Linux
    disk.Primary(1, 0x11, 1 + kVolumeSectors, kVolumeSectors);      // hidden FAT12
    disk.Primary(2, 0x06, 1 + 2 * kVolumeSectors, kVolumeSectors, false);  // blank
    disk.Primary(3, 0x0F, 1 + 3 * kVolumeSectors, 2 * kVolumeSectors + 50);
    // An empty first record does not take a number, as fatinspect counts.
    const uint32_t ext = 1 + 3 * kVolumeSectors;
    disk.Ebr(ext, 0, 0, 0, 10);
    disk.Ebr(ext + 10, 0x0C, 20, kVolumeSectors, 0);

    std::string error;
    std::vector<FatVolumeLocation> volumes = disk.Scan(&error);
    EXPECT_EQ(Numbers(volumes), (std::vector<int>{2, 5}));
    ASSERT_EQ(volumes.size(), 2u);
    EXPECT_EQ(volumes[1].byteOffset, uint64_t{ext + 30} * 512);
    EXPECT_EQ(volumes[1].sectorCount, kVolumeSectors);
    EXPECT_TRUE(volumes[1].isLogical);
    // The blank FAT partition is named; the Linux one is none of our business.
    EXPECT_NE(error.find("partition 3"), std::string::npos) << error;
    EXPECT_EQ(error.find("partition 1"), std::string::npos) << error;
}

TEST(DiskLayout, RefusesTablesWhosePrimariesOverlapOrPassTheEnd) {
    MemoryDisk overlapping(3 * kVolumeSectors);
    overlapping.Primary(0, 0x01, 1, kVolumeSectors);
    overlapping.Primary(2, 0x01, kVolumeSectors, kVolumeSectors);
    std::string error;
    EXPECT_TRUE(overlapping.Scan(&error).empty());
    EXPECT_NE(error.find("partitions 1 and 3 overlap"), std::string::npos) << error;

    MemoryDisk shortDisk(kVolumeSectors + 10);
    shortDisk.Primary(0, 0x01, 1, kVolumeSectors);
    shortDisk.Primary(1, 0x01, kVolumeSectors + 1, kVolumeSectors, false);
    EXPECT_TRUE(shortDisk.Scan(&error).empty());
    EXPECT_NE(error.find("partition 2 runs past the end"), std::string::npos) << error;

    MemoryDisk badStatus(2 * kVolumeSectors);
    badStatus.Primary(0, 0x01, 1, kVolumeSectors);
    badStatus.Sector(0)[446] = 0x12;
    EXPECT_TRUE(badStatus.Scan(&error).empty());
    EXPECT_NE(error.find("invalid partition table"), std::string::npos) << error;
}

TEST(DiskLayout, LoopingChainStopsAfterEachRecordOnce) {
    const uint32_t ext = 1;
    const uint32_t step = kVolumeSectors + 1;  // record + volume
    MemoryDisk disk(3 * step + 100);
    disk.Primary(0, 0x05, ext, 3 * step);
    disk.Ebr(ext, 0x01, 1, kVolumeSectors, step);
    disk.Ebr(ext + step, 0x01, 1, kVolumeSectors, step);  // links to itself
    std::string error;
    EXPECT_EQ(Numbers(disk.Scan(&error)), (std::vector<int>{5, 6}));
    EXPECT_NE(error.find("loops"), std::string::npos) << error;

    disk.Ebr(ext + step, 0x01, 1, kVolumeSectors, 2 * step);
    disk.Ebr(ext + 2 * step, 0x01, 1, kVolumeSectors, step);  // back to the second
    EXPECT_EQ(Numbers(disk.Scan(&error)), (std::vector<int>{5, 6, 7}));
    EXPECT_NE(error.find("loops"), std::string::npos) << error;
}

TEST(DiskLayout, OverlongChainStopsAtTheLimit) {
    // Records one sector apart, each with a one-sector non-FAT logical, and one
    // FAT volume at the end of the chain that is never reached.
    const uint32_t records = kMaxLogicalPartitions + 20;
    const uint32_t ext = 1;
    MemoryDisk disk(ext + 2 * records + kVolumeSectors + 10);
    disk.Primary(0, 0x0F, ext, 2 * records + kVolumeSectors + 1);
    for (uint32_t i = 0; i + 1 < records; ++i) disk.Ebr(ext + 2 * i, 0x83, 1, 1, 2 * (i + 1));
    disk.Ebr(ext + 2 * (records - 1), 0x01, 2, kVolumeSectors, 0);
    std::string error;
    EXPECT_TRUE(disk.Scan(&error).empty());
    EXPECT_NE(error.find("too long"), std::string::npos) << error;
}

TEST(DiskLayout, LogicalsOutsideTheirPlaceAreSkippedAndTheChainGoesOn) {
    const uint32_t ext = 1;
    const uint32_t step = kVolumeSectors + 1;  // record + volume
    MemoryDisk disk(4 * step + 100);
    disk.Primary(0, 0x0F, ext, 3 * step);
    disk.Ebr(ext, 0x01, 3 * step + 10, kVolumeSectors, step);   // 5 beyond the extended end
    disk.Ebr(ext + step, 0x01, 1, kVolumeSectors, 1);           // 6 is fine
    disk.Ebr(ext + 1, 0x01, 1, 2100, 2 * step);                 // 7 covers the record of 6
    disk.Ebr(ext + 2 * step, 0x01, 1, kVolumeSectors, 0);       // 8 is fine
    std::string error;
    EXPECT_EQ(Numbers(disk.Scan(&error)), (std::vector<int>{6, 8}));
    EXPECT_NE(error.find("partition 5 overlaps another or lies outside"), std::string::npos) << error;
    EXPECT_NE(error.find("partition 7 overlaps"), std::string::npos) << error;

    // A record inside an accepted logical: that logical is withdrawn, the chain ends.
    MemoryDisk nested(3 * step);
    nested.Primary(0, 0x05, ext, 2 * step);
    nested.Ebr(ext, 0x01, 1, kVolumeSectors, 100);
    nested.Ebr(ext + 100, 0x01, 1, 4, 0, false);
    EXPECT_TRUE(nested.Scan(&error).empty());
    EXPECT_NE(error.find("partition 5 holds the extended boot record"), std::string::npos) << error;
}

TEST(DiskLayout, ExplainsDisksWithoutAnyFatVolume) {
    std::string error;
    MemoryDiskReader empty({});
    EXPECT_TRUE(FindFatVolumes(empty, &error).empty());
    EXPECT_NE(error.find("smaller than one sector"), std::string::npos) << error;

    MemoryDiskReader zeros(std::vector<uint8_t>(4096, 0));
    EXPECT_TRUE(FindFatVolumes(zeros, &error).empty());
    EXPECT_NE(error.find("no partition table"), std::string::npos) << error;

    MemoryDisk linuxOnly(4 * kVolumeSectors);
    linuxOnly.Primary(0, 0x83, 1, kVolumeSectors, false);
    EXPECT_TRUE(linuxOnly.Scan(&error).empty());
    EXPECT_EQ(error, "no FAT partition on the disk");
}

}  // namespace
}  // namespace quillo
