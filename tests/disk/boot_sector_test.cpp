#include "disk/boot_sector.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

#include "common/little_endian.h"
#include "tests/support/test_images.h"

namespace quillo {
namespace {

using test::JsonArrayItem;
using test::JsonField;
using test::JsonNumber;

// ---- volumes made by mkfs.fat, checked against fatinspect

struct MkfsCase {
    const char* name;
    uint64_t sizeKiB;
    const char* args;
    const char* expectedType;
};

void PrintTo(const MkfsCase& c, std::ostream* os) { *os << c.name; }

class BootSectorOnMkfsImage : public ::testing::TestWithParam<MkfsCase> {};

TEST_P(BootSectorOnMkfsImage, GeometryMatchesFatinspectAndLocatesClusterTwo) {
    if (!test::HaveFatTools()) GTEST_SKIP() << "mkfs.fat or mtools missing";
    const MkfsCase& c = GetParam();
    test::TempDir dir;
    const std::string image = dir.File("vol.img");
    std::string error;
    ASSERT_TRUE(test::MakeFatImage(image, c.sizeKiB, c.args, &error)) << error;

    // A file with a recognisable pattern tells where its first cluster lies.
    std::vector<uint8_t> payload(3000);
    for (size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<uint8_t>(i * 7 + 1);
    ASSERT_TRUE(test::WriteFileBytes(dir.File("payload.bin"), 0, payload));
    ASSERT_EQ(test::RunCommand("mcopy -i " + test::ShellQuote(image) + " " +
                               test::ShellQuote(dir.File("payload.bin")) + " ::/PAYLOAD.BIN"),
              0);

    const std::vector<uint8_t> bytes = test::ReadFileBytes(image);
    ASSERT_GE(bytes.size(), 512u);
    std::string whyNot;
    std::optional<BootSectorInfo> info = ParseBootSector(bytes.data(), bytes.size() / 512, &whyNot);
    ASSERT_TRUE(info) << whyNot;

    const std::string json = test::FatinspectJson(image, "--list");
    ASSERT_FALSE(json.empty());
    EXPECT_EQ(info->fileSystemName, c.expectedType);
    EXPECT_EQ(JsonField(json, "fat_type"), info->fileSystemName);
    EXPECT_EQ(JsonNumber(json, "reserved_sectors"), info->reservedSectors);
    EXPECT_EQ(JsonNumber(json, "num_fats"), info->numFats);
    EXPECT_EQ(JsonNumber(json, "fat_sectors"), info->sectorsPerFat);
    EXPECT_EQ(JsonNumber(json, "root_entries"), info->rootEntryCount);
    EXPECT_EQ(JsonNumber(json, "sectors_per_cluster"), info->sectorsPerCluster);
    EXPECT_EQ(JsonNumber(json, "total_sectors"), static_cast<int64_t>(info->totalSectors));
    EXPECT_EQ(JsonNumber(json, "total_clusters"), info->clusterCount);
    EXPECT_EQ(info->isFat32, info->fileSystemName == "FAT32");
    std::string label = JsonField(json, "label").value_or("");
    EXPECT_EQ(info->volumeLabel, label == "NO NAME" ? "" : label);

    // The file's data sits at its first cluster counted from firstDataSector.
    std::optional<std::string> entry = JsonArrayItem(JsonField(json, "entries").value_or(""), 0);
    ASSERT_TRUE(entry);
    std::optional<int64_t> firstCluster = JsonNumber(*entry, "first_cluster");
    ASSERT_TRUE(firstCluster);
    ASSERT_GE(*firstCluster, 2);
    const uint64_t at = (info->firstDataSector + (*firstCluster - 2) * info->sectorsPerCluster) * 512;
    ASSERT_LE(at + payload.size(), bytes.size());
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), bytes.begin() + at));

    if (info->isFat32) {
        EXPECT_GE(info->rootCluster, 2u);
        EXPECT_EQ(info->rootDirSectors, 0u);
    } else {
        EXPECT_EQ(info->rootDirSectors * 512, info->rootEntryCount * 32);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Types, BootSectorOnMkfsImage,
    ::testing::Values(MkfsCase{"Floppy144", 1440, "-F 12 -f 2 -n FLOPPY", "FAT12"},
                      MkfsCase{"Fat16DefaultReserved", 16384, "-F 16 -n 'MY DISK'", "FAT16"},
                      MkfsCase{"Fat32", 40960, "-F 32 -s 1", "FAT32"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- hand-made boot sectors

// 32768 sectors, 4 reserved, two 32-sector tables, 512 root entries (32
// sectors): data at 100, (32768 - 100) / 4 = 8167 clusters. As mkfs.fat makes it.
std::vector<uint8_t> Fat16Sector() { return test::MakeBootSector({}); }

// 81920 sectors, 32 reserved, two 630-sector tables, 1 sector per cluster:
// 80628 clusters.
std::vector<uint8_t> Fat32Sector() {
    return test::MakeBootSector({32, 81920, 1, 32, 630, 0, "BIG VOLUME"});
}

// A FAT12/16 sector whose data area holds exactly `clusters` clusters of 4 sectors.
std::vector<uint8_t> WithClusters(uint32_t clusters, uint32_t sectorsPerFat = 32) {
    const uint32_t dataStart = 4 + 2 * sectorsPerFat + 32;
    return test::MakeBootSector({16, dataStart + clusters * 4, 4, 4, sectorsPerFat, 512, "X"});
}

TEST(BootSector, LabelNeedsTheExtendedSignatureButTheSectorNeedsNo55AA) {
    std::optional<BootSectorInfo> fat32 = ParseBootSector(Fat32Sector().data(), 81920, nullptr);
    ASSERT_TRUE(fat32);
    EXPECT_EQ(fat32->volumeLabel, "BIG VOLUME");
    // Without the extended boot signature the label bytes are boot code.
    std::vector<uint8_t> sector = Fat16Sector();
    std::copy_n("GARBAGE    ", 11, sector.begin() + 43);
    sector[38] = 0;
    sector[510] = sector[511] = 0;
    std::optional<BootSectorInfo> fat16 = ParseBootSector(sector.data(), 32768, nullptr);
    ASSERT_TRUE(fat16);
    EXPECT_EQ(fat16->volumeLabel, "");
}

TEST(BootSector, TypeComesFromClusterCountWithTheAmbiguous4085Refused) {
    std::string why;
    EXPECT_EQ(ParseBootSector(WithClusters(4084).data(), 1 << 20, &why)->fileSystemName, "FAT12");
    EXPECT_EQ(ParseBootSector(WithClusters(4086).data(), 1 << 20, &why)->fileSystemName, "FAT16");
    EXPECT_FALSE(ParseBootSector(WithClusters(4085).data(), 1 << 20, &why));
    EXPECT_NE(why.find("4085"), std::string::npos) << why;
    // 65524 is the last count a 16-bit table can number.
    EXPECT_EQ(ParseBootSector(WithClusters(65524, 256).data(), 1 << 20, &why)->fileSystemName,
              "FAT16");
    EXPECT_FALSE(ParseBootSector(WithClusters(65525, 256).data(), 1 << 20, &why));
    EXPECT_NE(why.find("too many"), std::string::npos) << why;
    // A FAT12 table of 4084 clusters needs 4086 * 1.5 = 6129 bytes: 12 sectors.
    EXPECT_TRUE(ParseBootSector(WithClusters(4084, 12).data(), 1 << 20, &why)) << why;
    EXPECT_FALSE(ParseBootSector(WithClusters(4084, 11).data(), 1 << 20, &why));
    EXPECT_NE(why.find("too small"), std::string::npos) << why;
}

struct BadCase {
    const char* what;
    bool fat32;
    std::function<void(uint8_t*)> corrupt;
    const char* reasonContains;
    uint64_t volumeSectors = std::numeric_limits<uint64_t>::max();
};

TEST(BootSector, RefusesWhatTheEngineCannotHandleAndSaysWhy) {
    const BadCase cases[] = {
        {"no jump instruction", false, [](uint8_t* s) { s[0] = 0; }, "jump"},
        {"1024-byte sectors", false, [](uint8_t* s) { put_le16(s + 11, 1024); }, "bytes per sector"},
        {"0 sectors per cluster", false, [](uint8_t* s) { s[13] = 0; }, "power of two"},
        {"3 sectors per cluster", false, [](uint8_t* s) { s[13] = 3; }, "power of two"},
        {"no reserved sectors", false, [](uint8_t* s) { put_le16(s + 14, 0); }, "reserved"},
        {"one table", false, [](uint8_t* s) { s[16] = 1; }, "not 2"},
        {"three tables", false, [](uint8_t* s) { s[16] = 3; }, "not 2"},
        {"bad media byte", false, [](uint8_t* s) { s[21] = 0x12; }, "media"},
        {"no total", false, [](uint8_t* s) { put_le16(s + 19, 0); put_le32(s + 32, 0); },
         "total sector count is 0"},
        {"image smaller than claimed", false, [](uint8_t*) {}, "claims", 32767},
        {"no root entries", false, [](uint8_t* s) { put_le16(s + 17, 0); }, "root directory entries"},
        {"root of partial sectors", false, [](uint8_t* s) { put_le16(s + 17, 100); }, "whole sectors"},
        {"tables past the end", false, [](uint8_t* s) { put_le16(s + 22, 20000); },
         "allocation tables reach"},
        {"root past the end", false, [](uint8_t* s) { put_le16(s + 19, 80); },
         "root directory reaches"},
        {"no data clusters", false, [](uint8_t* s) { put_le16(s + 19, 103); }, "no data clusters"},
        {"table too small", false, [](uint8_t* s) { put_le16(s + 22, 31); }, "too small"},
        {"FAT32 with table size 0", true, [](uint8_t* s) { put_le32(s + 36, 0); },
         "sectors per allocation table is 0"},
        {"FAT32 with fixed root", true, [](uint8_t* s) { put_le16(s + 17, 512); }, "fixed root"},
        {"FAT32 root cluster 1", true, [](uint8_t* s) { put_le32(s + 44, 1); },
         "root directory cluster"},
        {"FAT32 root past last cluster", true, [](uint8_t* s) { put_le32(s + 44, 80630); },
         "root directory cluster"},
        {"FAT32 single active table", true, [](uint8_t* s) { put_le16(s + 40, 0x81); },
         "one allocation table"},
        {"FAT32 32-bit extremes", true,
         [](uint8_t* s) { put_le32(s + 32, 0xFFFFFFFF); put_le32(s + 36, 0xFFFFFFFF); },
         "allocation tables reach"},
        {"FAT32 beyond 28-bit clusters", true,
         [](uint8_t* s) { put_le32(s + 32, 0xFFFFFFFF); put_le32(s + 36, 0x02000000); },
         "too many clusters"},
    };
    for (const BadCase& c : cases) {
        std::vector<uint8_t> sector = c.fat32 ? Fat32Sector() : Fat16Sector();
        c.corrupt(sector.data());
        std::string why;
        EXPECT_FALSE(ParseBootSector(sector.data(), c.volumeSectors, &why)) << c.what;
        EXPECT_NE(why.find(c.reasonContains), std::string::npos) << c.what << ": " << why;
    }
    EXPECT_FALSE(ParseBootSector(nullptr, 100, nullptr));
}

}  // namespace
}  // namespace quillo
