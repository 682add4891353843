#pragma once
// Where the FAT volumes of a disk lie: a bare volume ("superfloppy") or the
// primary and logical partitions of an MBR partition table.
#include <cstdint>
#include <string>
#include <vector>

#include "disk/boot_sector.h"
#include "disk/disk_reader.h"

namespace quillo {

struct FatVolumeLocation {
    uint64_t byteOffset = 0;    // start of the volume on the disk
    uint64_t sectorCount = 0;   // size of its partition (the whole disk for a superfloppy)
    int partitionNumber = 0;    // 0 superfloppy; 1-4 primary slot; 5, 6, ... logical
    bool isLogical = false;
    uint8_t partitionType = 0;  // MBR type byte; 0 for a superfloppy
    BootSectorInfo bootSector;  // meaningful only when supported
    // Why the volume cannot be worked on (its boot sector is refused); empty
    // when it can.
    std::string unsupported;
};

// The FAT volumes of a disk in partition-table order: primaries by slot, then
// logicals along the extended chain. A FAT partition whose boot sector is
// refused, and a bare volume whose first sector is plainly a FAT boot sector
// that is refused, come back with the reason in `unsupported`; partitions of
// other types are left out. When nothing is found, `error` says why; when
// some partitions were left out for a fault, it says which (else it is
// emptied).
// A partition table whose primaries overlap or reach past the disk is refused
// whole: nothing on such a disk can be trusted to be where the table says.
std::vector<FatVolumeLocation> FindFatVolumes(DiskReader& disk, std::string* error);

bool IsFatPartitionType(uint8_t type);
bool IsExtendedPartitionType(uint8_t type);

// Most extended boot records followed along one chain.
constexpr int kMaxLogicalPartitions = 128;

}  // namespace quillo
