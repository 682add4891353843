#include "disk/boot_sector.h"

#include <utility>

#include "common/little_endian.h"

namespace quillo {
namespace {

// BIOS parameter block, by byte offset.
constexpr int kJump = 0;
constexpr int kBytesPerSector = 11;     // 16 bits
constexpr int kSectorsPerCluster = 13;  // 8 bits
constexpr int kReservedSectors = 14;    // 16 bits
constexpr int kNumFats = 16;            // 8 bits
constexpr int kRootEntries = 17;        // 16 bits, unaligned
constexpr int kTotalSectors16 = 19;     // 16 bits; 0 means "see offset 32"
constexpr int kMedia = 21;              // 8 bits
constexpr int kSectorsPerFat16 = 22;    // 16 bits; 0 on FAT32
constexpr int kTotalSectors32 = 32;     // 32 bits
// FAT32 fields.
constexpr int kSectorsPerFat32 = 36;    // 32 bits
constexpr int kExtFlags32 = 40;         // 16 bits; bit 7: only one table active
constexpr int kRootCluster32 = 44;      // 32 bits
// The extended block: its signature, then at fixed distances from it the
// serial number and the label.
constexpr int kBootSignature16 = 38;    // FAT12/16
constexpr int kBootSignature32 = 66;    // FAT32
constexpr int kSerialAfterSignature = 1;  // 32 bits
constexpr int kLabelAfterSignature = 5;   // 11 bytes

constexpr int kLabelLength = 11;
constexpr uint8_t kExtendedBootSignature = 0x29;    // serial number and label
constexpr uint8_t kSerialOnlyBootSignature = 0x28;  // serial number only
constexpr uint64_t kDirEntrySize = 32;

std::optional<BootSectorInfo> Refuse(std::string* whyNot, std::string reason) {
    if (whyNot) *whyNot = std::move(reason);
    return std::nullopt;
}

std::string ReadLabel(const uint8_t* field) {
    std::string label;
    for (int i = 0; i < kLabelLength && field[i] != 0; ++i)
        label.push_back(static_cast<char>(field[i]));
    while (!label.empty() && label.back() == ' ') label.pop_back();
    if (label == "NO NAME") label.clear();
    return label;
}

// "3.1 MB": a count of sectors as a size with one decimal.
std::string SizeText(uint64_t sectors) {
    const uint64_t bytes = sectors * 512;
    if (bytes < (uint64_t{1} << 20)) return std::to_string((bytes + 1023) / 1024) + " KB";
    const bool giga = bytes >= (uint64_t{1} << 30);
    const uint64_t unit = giga ? uint64_t{1} << 30 : uint64_t{1} << 20;
    const uint64_t tenths = (bytes * 10 + unit / 2) / unit;
    return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + (giga ? " GB" : " MB");
}

bool IsMediaByte(uint8_t media) { return media == 0xF0 || media >= 0xF8; }

// Bytes a table needs for entries 0..clusterCount+1.
uint64_t TableBytesNeeded(uint64_t clusterCount, int fatBits) {
    uint64_t entries = clusterCount + 2;
    return (entries * fatBits + 7) / 8;
}

}  // namespace

bool LooksLikeFatBootSector(const uint8_t* s) {
    if (!s || (s[kJump] != 0xEB && s[kJump] != 0xE9)) return false;
    const uint32_t bytesPerSector = le16(s + kBytesPerSector);
    const uint32_t spc = s[kSectorsPerCluster];
    return bytesPerSector >= 512 && bytesPerSector <= 4096 &&
           (bytesPerSector & (bytesPerSector - 1)) == 0 && spc != 0 && (spc & (spc - 1)) == 0 &&
           le16(s + kReservedSectors) != 0 && IsMediaByte(s[kMedia]);
}

std::optional<BootSectorInfo> ParseBootSector(const uint8_t* s, uint64_t volumeSectors,
                                              std::string* whyNot, const std::string& spaceName) {
    if (!s) return Refuse(whyNot, "no boot sector");
    if (s[kJump] != 0xEB && s[kJump] != 0xE9)
        return Refuse(whyNot, "no jump instruction at the start of the boot sector");

    BootSectorInfo info;
    info.bytesPerSector = le16(s + kBytesPerSector);
    info.sectorsPerCluster = s[kSectorsPerCluster];
    info.reservedSectors = le16(s + kReservedSectors);
    info.numFats = s[kNumFats];
    info.rootEntryCount = le16(s + kRootEntries);
    info.media = s[kMedia];
    uint32_t total16 = le16(s + kTotalSectors16);
    info.totalSectors = total16 != 0 ? total16 : le32(s + kTotalSectors32);
    uint32_t fat16Size = le16(s + kSectorsPerFat16);
    info.isFat32 = fat16Size == 0;
    info.sectorsPerFat = info.isFat32 ? le32(s + kSectorsPerFat32) : fat16Size;

    const uint32_t spc = info.sectorsPerCluster;
    if (info.bytesPerSector != 512)
        return Refuse(whyNot, "bytes per sector is " + std::to_string(info.bytesPerSector) +
                                  ", only 512 is supported");
    if (spc == 0 || (spc & (spc - 1)) != 0)
        return Refuse(whyNot, "sectors per cluster is " + std::to_string(spc) +
                                  ", not a power of two");
    if (info.reservedSectors == 0) return Refuse(whyNot, "no reserved sectors");
    // Every write goes to both copies in turn; with one the tables have no
    // second chance, with more the others would go stale.
    if (info.numFats != 2)
        return Refuse(whyNot, "2 allocation tables needed, this volume has " +
                                  std::to_string(info.numFats));
    if (!IsMediaByte(info.media)) return Refuse(whyNot, "media byte is not a FAT media type");
    if (info.totalSectors == 0) return Refuse(whyNot, "total sector count is 0");
    if (info.totalSectors > volumeSectors)
        return Refuse(whyNot, spaceName + " ends " + SizeText(info.totalSectors - volumeSectors) +
                                  " before the volume does: truncated?");
    if (info.sectorsPerFat == 0) return Refuse(whyNot, "sectors per allocation table is 0");

    if (info.isFat32) {
        if (info.rootEntryCount != 0)
            return Refuse(whyNot, "FAT32 boot sector with a fixed root directory");
        if (le16(s + kExtFlags32) & 0x80)
            return Refuse(whyNot, "allocation table mirroring is off: only table " +
                                      std::to_string((le16(s + kExtFlags32) & 0x0F) + 1) +
                                      " is kept current");
    } else {
        if (info.rootEntryCount == 0)
            return Refuse(whyNot, "FAT12/16 boot sector without root directory entries");
        if ((info.rootEntryCount * kDirEntrySize) % info.bytesPerSector != 0)
            return Refuse(whyNot, "root directory does not fill whole sectors");
        info.rootDirSectors = info.rootEntryCount * kDirEntrySize / info.bytesPerSector;
    }

    // All in 64 bits: the 16- and 32-bit fields cannot overflow these sums.
    const uint64_t tablesEnd =
        uint64_t{info.reservedSectors} + uint64_t{info.numFats} * info.sectorsPerFat;
    if (tablesEnd > info.totalSectors)
        return Refuse(whyNot, "allocation tables reach past the end of the volume");
    info.firstDataSector = tablesEnd + info.rootDirSectors;
    if (info.firstDataSector > info.totalSectors)
        return Refuse(whyNot, "root directory reaches past the end of the volume");
    const uint64_t clusters = (info.totalSectors - info.firstDataSector) / spc;
    if (clusters == 0) return Refuse(whyNot, "no data clusters");

    int fatBits;
    if (info.isFat32) {
        if (clusters > kFat32MaxClusters)
            return Refuse(whyNot, "too many clusters for FAT32");
        fatBits = 32;
        info.fileSystemName = "FAT32";
    } else if (clusters < kFat12ClusterLimit) {
        fatBits = 12;
        info.fileSystemName = "FAT12";
    } else if (clusters == kFat12ClusterLimit) {
        return Refuse(whyNot, "4085 clusters: neither clearly FAT12 nor FAT16");
    } else if (clusters <= kFat16MaxClusters) {
        fatBits = 16;
        info.fileSystemName = "FAT16";
    } else {
        return Refuse(whyNot, std::to_string(clusters) + " clusters: too many for FAT16");
    }
    info.clusterCount = static_cast<uint32_t>(clusters);

    if (TableBytesNeeded(clusters, fatBits) > uint64_t{info.sectorsPerFat} * info.bytesPerSector)
        return Refuse(whyNot, "allocation table too small for " + std::to_string(clusters) +
                                  " clusters");

    if (info.isFat32) {
        info.rootCluster = le32(s + kRootCluster32);
        if (info.rootCluster < 2 || info.rootCluster > uint64_t{info.clusterCount} + 1)
            return Refuse(whyNot, "root directory cluster " + std::to_string(info.rootCluster) +
                                      " outside the volume");
    }
    // The extended block sits at a different offset on FAT32; its serial
    // number is there from the older signature on, the label only with 0x29.
    const int block = info.isFat32 ? kBootSignature32 : kBootSignature16;
    if (s[block] == kExtendedBootSignature || s[block] == kSerialOnlyBootSignature)
        info.volumeSerial = le32(s + block + kSerialAfterSignature);
    if (s[block] == kExtendedBootSignature)
        info.volumeLabel = ReadLabel(s + block + kLabelAfterSignature);
    return info;
}

}  // namespace quillo
