#include "disk/boot_sector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <vector>

#include "common/little_endian.h"
#include "tests/support/test_images.h"

namespace quillo {
namespace {

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

// The serial number comes with either extended signature, the label only with
// 0x29 (otherwise those bytes are boot code); no row needs 55AA at the end.
TEST(BootSector, SerialAndLabelFollowTheExtendedSignatureOfEitherLayout) {
    const struct {
        const char* what;
        bool fat32;
        uint8_t signature;
        std::optional<uint32_t> serial;
        const char* label;
    } cases[] = {{"FAT16 with a label", false, 0x29, 0x1234ABCD, "MY DISK"},
                 {"FAT16, serial only", false, 0x28, 0x1234ABCD, ""},
                 {"FAT16 without a block", false, 0, std::nullopt, ""},
                 {"FAT32 with a label", true, 0x29, 0x1234ABCD, "MY DISK"},
                 {"FAT32 without a block", true, 0, std::nullopt, ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> sector = c.fat32 ? Fat32Sector() : Fat16Sector();
        const int block = c.fat32 ? 66 : 38;
        sector[block] = c.signature;
        put_le32(&sector[block + 1], 0x1234ABCD);
        std::copy_n("MY DISK    ", 11, sector.begin() + block + 5);
        if (!c.fat32) put_le32(&sector[67], 0x55555555);  // where FAT32 keeps it: boot code here
        sector[510] = sector[511] = 0;
        const std::optional<BootSectorInfo> info = ParseBootSector(sector.data(), 81920, nullptr);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->volumeSerial, c.serial);
        EXPECT_EQ(info->volumeLabel, c.label);
    }
}

// The type comes from the cluster count: 65524 is the last a 16-bit table
// can number, and a FAT12 table of 4084 clusters needs 4086 * 1.5 = 6129
// bytes: 12 sectors.
TEST(BootSector, TypeComesFromClusterCount) {
    const struct {
        uint32_t clusters, tableSectors;
        const char* typeOrReason;
        bool accepted;
    } cases[] = {{4084, 32, "FAT12", true},     {4086, 32, "FAT16", true},     {65524, 256, "FAT16", true},
                 {65525, 256, "too many", false}, {4084, 12, "FAT12", true}, {4084, 11, "too small", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.clusters) + " clusters, " + std::to_string(c.tableSectors) + " sectors");
        std::string why;
        const std::vector<uint8_t> sector = WithClusters(c.clusters, c.tableSectors);
        const std::optional<BootSectorInfo> info = ParseBootSector(sector.data(), 1 << 20, &why);
        ASSERT_EQ(info.has_value(), c.accepted) << why;
        EXPECT_NE((info ? info->fileSystemName : why).find(c.typeOrReason), std::string::npos);
    }
}

struct BadCase {
    const char* what;
    bool fat32;
    std::function<void(uint8_t*)> corrupt;
    const char* reasonContains;
};

TEST(BootSector, RefusesWhatTheEngineCannotHandleAndSaysWhy) {
    const BadCase cases[] = {
        {"no jump instruction", false, [](uint8_t* s) { s[0] = 0; }, "jump"},
        {"0 sectors per cluster", false, [](uint8_t* s) { s[13] = 0; }, "power of two"},
        {"3 sectors per cluster", false, [](uint8_t* s) { s[13] = 3; }, "power of two"},
        {"no reserved sectors", false, [](uint8_t* s) { put_le16(s + 14, 0); }, "reserved"},
        {"bad media byte", false, [](uint8_t* s) { s[21] = 0x12; }, "media"},
        {"no total", false, [](uint8_t* s) { put_le16(s + 19, 0); put_le32(s + 32, 0); }, "count is 0"},
        {"no root entries", false, [](uint8_t* s) { put_le16(s + 17, 0); }, "root directory entries"},
        {"root of partial sectors", false, [](uint8_t* s) { put_le16(s + 17, 100); }, "whole sectors"},
        {"tables past the end", false, [](uint8_t* s) { put_le16(s + 22, 20000); }, "tables reach"},
        {"root past the end", false, [](uint8_t* s) { put_le16(s + 19, 80); }, "root directory reaches"},
        {"no data clusters", false, [](uint8_t* s) { put_le16(s + 19, 103); }, "no data clusters"},
        {"table too small", false, [](uint8_t* s) { put_le16(s + 22, 31); }, "too small"},
        {"FAT32 table size 0", true, [](uint8_t* s) { put_le32(s + 36, 0); }, "allocation table is 0"},
        {"FAT32 with fixed root", true, [](uint8_t* s) { put_le16(s + 17, 512); }, "fixed root"},
        {"FAT32 root cluster 1", true, [](uint8_t* s) { put_le32(s + 44, 1); }, "root directory cluster"},
        {"FAT32 root past last cluster", true, [](uint8_t* s) { put_le32(s + 44, 80630); }, "root directory cluster"},
        {"FAT32 32-bit extremes", true, [](uint8_t* s) { put_le32(s + 32, 0xFFFFFFFF); put_le32(s + 36, 0xFFFFFFFF); },
         "tables reach"},
        {"FAT32 beyond 28-bit clusters", true,
         [](uint8_t* s) { put_le32(s + 32, 0xFFFFFFFF); put_le32(s + 36, 0x02000000); }, "too many clusters"},
    };
    for (const BadCase& c : cases) {
        std::vector<uint8_t> sector = c.fat32 ? Fat32Sector() : Fat16Sector();
        c.corrupt(sector.data());
        std::string why;
        EXPECT_FALSE(ParseBootSector(sector.data(), std::numeric_limits<uint64_t>::max(), &why)) << c.what;
        EXPECT_NE(why.find(c.reasonContains), std::string::npos) << c.what << ": " << why;
    }
    EXPECT_FALSE(ParseBootSector(nullptr, 100, nullptr));
}

// Tells a refused volume from a disk that holds none: what a formatter
// writes, whatever the volume behind it.
TEST(BootSector, LooksLikeFatForAnyFormattedSectorButNotForAPartitionTable) {
    const struct {
        const char* what;
        std::function<void(uint8_t*)> change;
        bool looksLikeFat;
    } cases[] = {
        {"accepted FAT16", [](uint8_t*) {}, true},
        {"4096-byte sectors", [](uint8_t* s) { put_le16(s + 11, 4096); }, true},
        {"no jump", [](uint8_t* s) { s[0] = 0xFA; }, false},
        {"sector size 0", [](uint8_t* s) { put_le16(s + 11, 0); }, false},
        {"3 sectors per cluster", [](uint8_t* s) { s[13] = 3; }, false},
        {"no reserved sectors", [](uint8_t* s) { put_le16(s + 14, 0); }, false},
        {"media byte 0", [](uint8_t* s) { s[21] = 0; }, false},
        {"zeroed, as a bare partition table", [](uint8_t* s) { std::fill(s, s + 446, 0); }, false},
    };
    for (const auto& c : cases) {
        std::vector<uint8_t> sector = Fat16Sector();
        c.change(sector.data());
        EXPECT_EQ(LooksLikeFatBootSector(sector.data()), c.looksLikeFat) << c.what;
    }
}

}  // namespace
}  // namespace quillo
