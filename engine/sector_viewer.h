#pragma once
// The volume side of the sector viewer: the selected drive opened for
// reading only, its sectors, the sectors of a chain, and the long name of a
// directory entry as the volume itself stores it. Nothing here writes.
#include <cstdint>
#include <string>
#include <vector>

namespace quillo {

struct EngineContext;
struct Geometry;

// A run of consecutive sectors of a chain, in volume sector numbers.
struct SectorExtent {
    int32_t start = 0;
    int32_t count = 0;
};
using SectorExtents = std::vector<SectorExtent>;

enum class ViewerOpening {
    Opened,       // device open read-only, geometry and first table read
    Busy,         // the device cannot be opened: DriveBusy is set
    NoGeometry,   // not a volume we understand; the device is closed again
    TableUnread,  // the allocation table could not be read (DiskIoFailed set);
                  // the device is closed again
};

// Opens the drive named by ctx.run.DriveString for reading only, reads its
// geometry and its first allocation table. The end-of-run flags left by an
// earlier run are cleared first.
ViewerOpening OpenVolumeForViewing(EngineContext& ctx);
// Closes the device opened above. Harmless when closed.
void CloseVolumeForViewing(EngineContext& ctx);

// Sectors of the volume as its boot sector counts them.
int32_t VolumeTotalSectors(const Geometry& geo);
// The fixed root folder of FAT12/FAT16: after the reserved sectors and the tables.
int32_t FixedRootStart(const Geometry& geo);
int32_t FixedRootSectors(const Geometry& geo);

// The sectors of the chain starting at `first`, with its cluster count in
// `clusters`. Empty (and 0 clusters) when the chain is not sound: a cluster
// out of range, a free or looping link. The run's flags are left as they were.
SectorExtents ChainSectors(EngineContext& ctx, uint32_t first, int32_t& clusters);
// Sector `index` of the chain; sector 0 when the index lies beyond it.
int32_t RelativeToAbsolute(const SectorExtents& extents, int32_t index);
// Where `sector` lies in the chain (the inverse of the above); -1 outside it.
int32_t AbsoluteToRelative(const SectorExtents& extents, int32_t sector);

// One sector at `sector` into a 512-byte buffer; false, with the disk error
// set, when the read fails.
bool ReadViewSector(EngineContext& ctx, int32_t sector, uint8_t* buffer);

// The name of entry `entryIndex` (32-byte slots from 0) of the folder whose
// sectors are `folder`: its long name from the long-name entries in front of
// it, else its short name as a listing shows it. Empty when the folder
// cannot be read that far.
std::string EntryLongName(EngineContext& ctx, const SectorExtents& folder, int32_t entryIndex);

}  // namespace quillo
