#include "disk/disk_layout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
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
    const std::string label = JsonField(json, "label").value_or("");
    EXPECT_EQ(v.bootSector.volumeLabel, label == "NO NAME" ? "" : label);
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

// A disk of zero sectors with an MBR signature; FAT12 volumes go where a test
// puts them.
class MemoryDisk {
public:
    explicit MemoryDisk(uint32_t sectors) : bytes_(uint64_t{sectors} * 512, 0) {
        if (sectors) test::PutSignature(Sector(0));
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
    void Ebr(uint32_t ebr, uint8_t type, uint32_t offset, uint32_t sectors, uint32_t next, bool format = true) {
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
    disk.Primary(0, 0x83, 1, kVolumeSectors);                              // FAT inside, type says Linux
    disk.Primary(1, 0x11, 1 + kVolumeSectors, kVolumeSectors);             // hidden FAT12
    disk.Primary(2, 0x06, 1 + 2 * kVolumeSectors, kVolumeSectors, false);  // blank
    disk.Primary(3, 0x0F, 1 + 3 * kVolumeSectors, 2 * kVolumeSectors + 50);
    // An empty first record does not take a number, as fatinspect counts.
    const uint32_t ext = 1 + 3 * kVolumeSectors;
    disk.Ebr(ext, 0, 0, 0, 10);
    disk.Ebr(ext + 10, 0x0C, 20, kVolumeSectors, 0);

    std::string error;
    std::vector<FatVolumeLocation> volumes = disk.Scan(&error);
    // The blank FAT partition is found, as one not supported; the Linux one
    // is none of our business.
    EXPECT_EQ(Numbers(volumes), (std::vector<int>{2, 3, 5}));
    ASSERT_EQ(volumes.size(), 3u);
    EXPECT_EQ(volumes[0].unsupported, "");
    EXPECT_NE(volumes[1].unsupported.find("jump"), std::string::npos) << volumes[1].unsupported;
    EXPECT_EQ(volumes[2].unsupported, "");
    EXPECT_EQ(volumes[2].byteOffset, uint64_t{ext + 30} * 512);
    EXPECT_EQ(volumes[2].sectorCount, kVolumeSectors);
    EXPECT_TRUE(volumes[2].isLogical);
    EXPECT_EQ(error, "");
}

// A partition table in use wins over a FAT boot sector in the same sector.
TEST(DiskLayout, APartitionTableWinsOverABootSectorAroundIt) {
    MemoryDisk disk(kVolumeSectors + 16);
    disk.Primary(0, 0x01, 8, kVolumeSectors);
    const std::vector<uint8_t> boot = test::MakeBootSector({12, 16, 4, 1, 2, 512, "V"});
    std::copy(boot.begin(), boot.begin() + 446, disk.Sector(0));
    std::string error;
    const std::vector<FatVolumeLocation> volumes = disk.Scan(&error);
    EXPECT_EQ(Numbers(volumes), std::vector<int>{1}) << error;
    ASSERT_EQ(volumes.size(), 1u);
    EXPECT_EQ(volumes[0].unsupported, "");
}

// Damaged tables and chains: which volumes are still offered, and the reason.
TEST(DiskLayout, BadTablesAndChainsAreRefusedOrCutShortWithAReason) {
    constexpr uint32_t ext = 1, step = kVolumeSectors + 1;  // an extended record, then its volume
    constexpr uint32_t kLong = kMaxLogicalPartitions + 20;
    struct Case {
        const char* what;
        uint32_t sectors;
        std::function<void(MemoryDisk&)> build;
        std::vector<int> offered;
        const char* reason;
        const char* alsoReason = "";
    };
    const Case cases[] = {
        {"empty disk", 0, [](MemoryDisk&) {}, {}, "smaller than one sector"},
        {"no signature", 8, [](MemoryDisk& d) { d.Sector(0)[510] = 0; }, {}, "no partition table"},
        {"only Linux", 4 * kVolumeSectors, [](MemoryDisk& d) { d.Primary(0, 0x83, 1, kVolumeSectors, false); },
         {}, "no FAT partition on the disk"},
        {"primaries overlap", 3 * kVolumeSectors, [](MemoryDisk& d) {
             d.Primary(0, 0x01, 1, kVolumeSectors);
             d.Primary(2, 0x01, kVolumeSectors, kVolumeSectors);
         }, {}, "partitions 1 and 3 overlap"},
        {"primary past the end", kVolumeSectors + 10, [](MemoryDisk& d) {
             d.Primary(0, 0x01, 1, kVolumeSectors);
             d.Primary(1, 0x01, kVolumeSectors + 1, kVolumeSectors, false);
         }, {}, "partition 2 runs past the end"},
        {"bad status byte", 2 * kVolumeSectors, [](MemoryDisk& d) {
             d.Primary(0, 0x01, 1, kVolumeSectors);
             d.Sector(0)[446] = 0x12;
         }, {}, "invalid partition table"},
        // A chain that leads back to its second record, not to itself.
        {"looping chain", 3 * step + 100, [](MemoryDisk& d) {
             d.Primary(0, 0x05, ext, 3 * step);
             d.Ebr(ext, 0x01, 1, kVolumeSectors, step);
             d.Ebr(ext + step, 0x01, 1, kVolumeSectors, 2 * step);
             d.Ebr(ext + 2 * step, 0x01, 1, kVolumeSectors, step);
         }, {5, 6, 7}, "loops"},
        // Records one sector apart, each with a one-sector non-FAT logical, and
        // one FAT volume at the end of the chain that is never reached.
        {"overlong chain", ext + 2 * kLong + kVolumeSectors + 10, [](MemoryDisk& d) {
             d.Primary(0, 0x0F, ext, 2 * kLong + kVolumeSectors + 1);
             for (uint32_t i = 0; i + 1 < kLong; ++i) d.Ebr(ext + 2 * i, 0x83, 1, 1, 2 * (i + 1));
             d.Ebr(ext + 2 * (kLong - 1), 0x01, 2, kVolumeSectors, 0);
         }, {}, "too long"},
        // 5 lies beyond the extended end, 7 covers the record of 6: both are
        // skipped and the chain goes on.
        {"logicals outside their place", 4 * step + 100, [](MemoryDisk& d) {
             d.Primary(0, 0x0F, ext, 3 * step);
             d.Ebr(ext, 0x01, 3 * step + 10, kVolumeSectors, step);
             d.Ebr(ext + step, 0x01, 1, kVolumeSectors, 1);
             d.Ebr(ext + 1, 0x01, 1, 2100, 2 * step);
             d.Ebr(ext + 2 * step, 0x01, 1, kVolumeSectors, 0);
         }, {6, 8}, "partition 5 overlaps another or lies outside", "partition 7 overlaps"},
        // A record inside an accepted logical: that logical is withdrawn, the chain ends.
        {"record inside a logical", 3 * step, [](MemoryDisk& d) {
             d.Primary(0, 0x05, ext, 2 * step);
             d.Ebr(ext, 0x01, 1, kVolumeSectors, 100);
             d.Ebr(ext + 100, 0x01, 1, 4, 0, false);
         }, {}, "partition 5 holds the extended boot record"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryDisk disk(c.sectors);
        c.build(disk);
        std::string error;
        EXPECT_EQ(Numbers(disk.Scan(&error)), c.offered);
        EXPECT_NE(error.find(c.reason), std::string::npos) << error;
        EXPECT_NE(error.find(c.alsoReason), std::string::npos) << error;
    }
}

}  // namespace
}  // namespace quillo
