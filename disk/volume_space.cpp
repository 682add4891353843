#include "disk/volume_space.h"

#include <vector>

#include "common/little_endian.h"
#include "disk/fat_codec.h"
#include "disk/volume_device.h"

namespace quillo {

std::optional<BootSectorInfo> ReadBootSectorInfo(VolumeDevice& device) {
    uint8_t sector[kSectorSize];
    if (!device.ReadSectors(0, 1, sector)) return std::nullopt;
    return ParseBootSector(sector, device.VolumeSectorCount(), nullptr);
}

std::optional<VolumeSpace> QueryVolumeSpace(VolumeDevice& device) {
    const std::optional<BootSectorInfo> boot = ReadBootSectorInfo(device);
    if (!boot) return std::nullopt;
    std::vector<uint8_t> table(static_cast<size_t>(boot->sectorsPerFat) * kSectorSize);
    if (!device.ReadSectors(boot->reservedSectors, boot->sectorsPerFat, table.data()))
        return std::nullopt;

    VolumeSpace space;
    space.bytesPerSector = boot->bytesPerSector;
    space.sectorsPerCluster = boot->sectorsPerCluster;
    space.totalClusters = boot->clusterCount;
    const uint32_t last = boot->clusterCount + 1;
    for (uint32_t n = 2; n <= last; ++n) {
        uint32_t entry;
        if (boot->isFat32) {
            entry = le32(&table[n * 4]) & kFatMask;
        } else if (boot->fileSystemName == "FAT16") {
            entry = le16(&table[n * 2]);
        } else {
            entry = ReadFat12Entry(table.data(), n);
        }
        if (entry == 0) ++space.freeClusters;
    }
    return space;
}

}  // namespace quillo
