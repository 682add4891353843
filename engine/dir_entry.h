#pragma once
// The directory side of a move: finding a file's 32-byte entry on the volume,
// switching it to the file's new first cluster, and the "." and ".." entries
// that a moved folder and its subfolders carry.
#include <cstdint>
#include <vector>

namespace quillo {

struct EngineContext;
struct Geometry;

// One directory sector as read for a move, and where the record's entry is.
struct DirEntrySector {
    std::vector<uint8_t> bytes;  // the whole sector
    int32_t entryIndex = 0;      // the record's EntryIndex within its folder
    uint32_t sector = 0;         // where the sector was read

    uint8_t* Entry();
    const uint8_t* Entry() const;
};

// Reads the sector that holds the entry of `record`: in the fixed root of
// FAT12/16, after the reserved sectors and both tables, or in the cluster of
// the parent folder's chain that the entry index falls in. False when the
// read failed (disk error set) or the parent's chain is shorter than the
// index says.
bool LocateDirEntry(EngineContext& ctx, int32_t record, DirEntrySector& out);
// Switches the entry from the record's first cluster to `newCluster` and
// writes the sector back. Stops the run with "Invalid fixup subdir" when the
// entry no longer names the record's first cluster.
void FixDirEntryCluster(EngineContext& ctx, int32_t record, uint32_t newCluster,
                        DirEntrySector& entry);
// Points "." of the folder at `folderCluster` and ".." at `parentCluster`
// (0 for the root) in the folder's first sector. Nothing is written when the
// read fails or the sector holds no dot entries.
void FixDotEntries(EngineContext& ctx, uint32_t folderCluster, uint32_t parentCluster);
// After the folder of `record` moved to `newCluster`: the ".." entry of each
// of its direct subfolders. Its own "." and ".." travel with the copy
// (PatchDotEntries), so nothing else is written. Stops at the first error.
void FixFolderMoved(EngineContext& ctx, int32_t record, uint32_t newCluster);

// --- Entry fields ----------------------------------------------------------------

// The first cluster an entry names: offset 26, plus offset 20 x 65536 on FAT32.
uint32_t EntryFirstCluster(const Geometry& geo, const uint8_t* entry);
void SetEntryFirstCluster(const Geometry& geo, uint8_t* entry, uint32_t cluster);
// Sets "." and ".." at the head of a folder's first sector, each only when
// the slot really holds that entry. True when either changed.
bool PatchDotEntries(const Geometry& geo, uint8_t* sector, uint32_t folderCluster,
                     uint32_t parentCluster);
// First sector of a data cluster.
uint32_t ClusterSector(const Geometry& geo, uint32_t cluster);

}  // namespace quillo
