#pragma once
// The marks a system leaves on a FAT volume while it has it mounted, which a
// clean unmount takes away: the clean bit of allocation entry 1 (FAT16,
// FAT32) and the dirty bit of the boot sector's state byte. A volume still
// marked may hold half-done changes that only a file-system check mends.
#include <cstdint>
#include <vector>

namespace quillo {

struct Geometry;

// Whether the volume is marked as not cleanly unmounted. Needs the boot
// record (Geometry::BootRecord) and entry 1 of the table as read, widened.
bool VolumeMarkedDirty(const Geometry& geo, const std::vector<uint32_t>& fatTable);

}  // namespace quillo
