#pragma once
// What the platform's volume queries answer, read from the volume itself:
// its boot sector for the label and file system, its first allocation table
// for the free clusters.
#include <cstdint>
#include <optional>
#include <string>

#include "disk/boot_sector.h"

namespace quillo {

class VolumeDevice;

struct VolumeSpace {
    uint32_t bytesPerSector = 0;
    uint32_t sectorsPerCluster = 0;
    uint32_t totalClusters = 0;
    uint32_t freeClusters = 0;
    uint64_t totalBytes() const { return uint64_t{totalClusters} * sectorsPerCluster * bytesPerSector; }
    uint64_t freeBytes() const { return uint64_t{freeClusters} * sectorsPerCluster * bytesPerSector; }
};

// The boot sector of an open device, checked. Nullopt when unreadable or
// not a FAT volume we understand.
std::optional<BootSectorInfo> ReadBootSectorInfo(VolumeDevice& device);

// Cluster totals of an open device; counts the free entries of the first table.
std::optional<VolumeSpace> QueryVolumeSpace(VolumeDevice& device);

}  // namespace quillo
