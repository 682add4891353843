#pragma once
// The FAT boot sector: which volumes we accept and their geometry. Anything
// the engine would misread is refused here, before a volume is offered.
#include <cstdint>
#include <optional>
#include <string>

namespace quillo {

struct BootSectorInfo {
    uint32_t bytesPerSector = 0;
    uint32_t sectorsPerCluster = 0;
    uint32_t reservedSectors = 0;   // also the first sector of the first table
    uint32_t numFats = 0;
    uint32_t rootEntryCount = 0;    // 0 on FAT32
    uint64_t totalSectors = 0;
    uint32_t sectorsPerFat = 0;
    uint32_t rootCluster = 0;       // FAT32 only, else 0
    bool isFat32 = false;
    uint64_t rootDirSectors = 0;    // fixed root directory (FAT12/16), else 0
    uint64_t firstDataSector = 0;   // sector of cluster 2, from the volume start
    uint32_t clusterCount = 0;      // data clusters; clusters run 2..clusterCount+1
    uint8_t media = 0;
    std::string fileSystemName;     // "FAT12", "FAT16" or "FAT32"
    std::string volumeLabel;        // boot-sector label, right-trimmed; "NO NAME" is ""
    std::optional<uint32_t> volumeSerial;  // when the extended block has one
};

// Checks the 512 bytes of a volume's first sector. `volumeSectors` is the size of
// the space the volume lives in (partition or whole image), which `spaceName`
// names in the reason ("the image", "partition 2"); a boot sector that claims
// more is refused. On refusal returns nullopt and, when whyNot is given, a
// one-line reason.
std::optional<BootSectorInfo> ParseBootSector(const uint8_t* sector, uint64_t volumeSectors,
                                              std::string* whyNot,
                                              const std::string& spaceName = "the image");

// A first sector that is plainly meant as a FAT boot sector (a jump, then a
// sector size, cluster size, reserved count and media byte a formatter
// writes), whether or not ParseBootSector accepts the volume behind it. Tells
// a volume we refuse from a disk that holds no volume at all.
bool LooksLikeFatBootSector(const uint8_t* sector);

// FAT12 below this many clusters, FAT16 above it; exactly this many is refused
// because the engine's own rule ("below 4086 is FAT12") would read such a
// FAT16 table as FAT12.
constexpr uint32_t kFat12ClusterLimit = 4085;
// Most clusters a 16-bit table can number before its values meet the
// reserved, bad and end-of-chain marks.
constexpr uint32_t kFat16MaxClusters = 65524;
// Same for the 28-bit FAT32 entries.
constexpr uint32_t kFat32MaxClusters = 0x0FFFFFF5;

}  // namespace quillo
