#include "engine/dir_entry.h"

#include <algorithm>
#include <cstring>

#include "common/engine_context.h"
#include "common/little_endian.h"
#include "disk/dir_entry_layout.h"
#include "disk/fat_codec.h"
#include "disk/sector_io.h"

namespace quillo {
namespace {

// Fields of a 32-byte directory entry.
constexpr char kDotName[] = ".          ";
constexpr char kDotDotName[] = "..         ";

void StopMove(EngineContext& ctx, const char* message, const char* source) {
    ctx.run.ErrorStop = 1;
    ctx.run.StopRequested = true;
    ctx.run.ErrorMessage = message;
    ctx.run.ErrorSource = source;
}

bool HasName(const uint8_t* entry, const char* name) {
    return std::memcmp(entry, name, kNameFieldLength) == 0;
}

// The cluster of `folderFirst`'s chain that holds chain position `hops`, or
// 0 when the chain ends (or is broken) before it.
uint32_t ClusterAtPosition(const EngineContext& ctx, uint32_t folderFirst, int32_t hops) {
    const std::vector<uint32_t>& table = ctx.fat.FatTable;
    const uint32_t maxCluster = static_cast<uint32_t>(std::max(ctx.geo.MaxCluster, 0));
    uint32_t c = folderFirst;
    for (int32_t k = 0; k < hops; ++k) {
        if (c < 2 || c > maxCluster || c >= table.size()) return 0;
        const uint32_t next = table[c] & kFatMask;
        if (next < 2 || next > maxCluster) return 0;  // free, end of chain, bad
        c = next;
    }
    return (c >= 2 && c <= maxCluster) ? c : 0;
}

}  // namespace

uint8_t* DirEntrySector::Entry() {
    return bytes.data() + static_cast<size_t>(entryIndex % (kSectorSize / kEntrySize)) * kEntrySize;
}

const uint8_t* DirEntrySector::Entry() const {
    return bytes.data() + static_cast<size_t>(entryIndex % (kSectorSize / kEntrySize)) * kEntrySize;
}

uint32_t EntryFirstCluster(const Geometry& geo, const uint8_t* entry) {
    uint32_t cluster = le16(entry + kClusterLowOffset);
    if (geo.IsFat32) cluster |= static_cast<uint32_t>(le16(entry + kClusterHighOffset)) << 16;
    return cluster;
}

void SetEntryFirstCluster(const Geometry& geo, uint8_t* entry, uint32_t cluster) {
    put_le16(entry + kClusterLowOffset, static_cast<uint16_t>(cluster));
    if (geo.IsFat32) put_le16(entry + kClusterHighOffset, static_cast<uint16_t>(cluster >> 16));
}

bool PatchDotEntries(const Geometry& geo, uint8_t* sector, uint32_t folderCluster,
                     uint32_t parentCluster) {
    bool changed = false;
    uint8_t* dot = sector;
    uint8_t* dotDot = sector + kEntrySize;
    // Only a slot that really holds the dot entry is touched: writing a
    // cluster into a live file's entry would cross-link it.
    if (HasName(dot, kDotName) && EntryFirstCluster(geo, dot) != folderCluster) {
        SetEntryFirstCluster(geo, dot, folderCluster);
        changed = true;
    }
    if (HasName(dotDot, kDotDotName) && EntryFirstCluster(geo, dotDot) != parentCluster) {
        SetEntryFirstCluster(geo, dotDot, parentCluster);
        changed = true;
    }
    return changed;
}

uint32_t ClusterSector(const Geometry& geo, uint32_t cluster) {
    const int64_t sector =
        (int64_t{cluster} - 2) * geo.SectorsPerCluster + geo.DataStartMinus1 + 1;
    return static_cast<uint32_t>(sector);
}

bool LocateDirEntry(EngineContext& ctx, int32_t record, DirEntrySector& out) {
    const Geometry& geo = ctx.geo;
    const ScanState& scan = ctx.scan;
    if (record <= 0 || record > scan.RecordCount) return false;
    const FileRecord& rec = scan.FileRecords[record];
    const int32_t parent = rec.ParentRecord;
    if (parent < 0 || parent > scan.RecordCount || rec.EntryIndex < 0) return false;

    const int32_t index = rec.EntryIndex;
    const int32_t perSector = geo.DirEntriesPerSector;
    uint32_t folder = scan.FileRecords[parent].FirstCluster;
    if (folder == 0 && geo.IsFat32) folder = geo.RootCluster;

    int64_t sector;
    if (folder == 0) {
        // The fixed root of FAT12/16 follows the reserved sectors and the
        // tables, however many reserved sectors the volume has.
        if (index >= geo.RootEntryCount) return false;
        sector = int64_t{geo.ReservedSectors} + int64_t{geo.NumberOfFats} * geo.SectorsPerFat +
                 index / perSector;
    } else {
        const int32_t perCluster = geo.SectorsPerCluster * perSector;
        const uint32_t cluster = ClusterAtPosition(ctx, folder, index / perCluster);
        if (cluster == 0) return false;
        sector = int64_t{ClusterSector(geo, cluster)} + (index % perCluster) / perSector;
    }

    out.bytes.assign(kSectorSize, 0);
    out.entryIndex = index;
    out.sector = static_cast<uint32_t>(sector);
    ctx.dev.SectorCursor = static_cast<int32_t>(sector);
    return ReadAtCursor(ctx, out.bytes.data(), 1);
}

void FixDirEntryCluster(EngineContext& ctx, int32_t record, uint32_t newCluster,
                        DirEntrySector& entry) {
    const Geometry& geo = ctx.geo;
    uint8_t* e = entry.Entry();
    if (EntryFirstCluster(geo, e) != ctx.scan.FileRecords[record].FirstCluster) {
        StopMove(ctx, "Invalid fixup subdir", "FixDirEntryCluster");
        return;
    }
    SetEntryFirstCluster(geo, e, newCluster);
    ctx.dev.SectorCursor = static_cast<int32_t>(entry.sector);
    WriteAtCursor(ctx, entry.bytes.data(), 1, WriteKind::Directory);
}

void FixDotEntries(EngineContext& ctx, uint32_t folderCluster, uint32_t parentCluster) {
    std::vector<uint8_t> sector(kSectorSize);
    ctx.dev.SectorCursor = static_cast<int32_t>(ClusterSector(ctx.geo, folderCluster));
    if (!ReadAtCursor(ctx, sector.data(), 1)) return;
    if (!PatchDotEntries(ctx.geo, sector.data(), folderCluster, parentCluster)) return;
    ctx.dev.SectorCursor = static_cast<int32_t>(ClusterSector(ctx.geo, folderCluster));
    WriteAtCursor(ctx, sector.data(), 1, WriteKind::Directory);
}

void FixFolderMoved(EngineContext& ctx, int32_t record, uint32_t newCluster) {
    const ScanState& scan = ctx.scan;
    // The folder's entries were recorded together when it was scanned: one
    // block of records, somewhere after the folder's own.
    bool inBlock = false;
    for (int32_t r = record + 1; r <= scan.RecordCount; ++r) {
        const FileRecord& child = scan.FileRecords[r];
        if (child.ParentRecord != record) {
            if (inBlock) break;
            continue;
        }
        inBlock = true;
        if ((child.Attributes & kAttrFolder) == 0 || child.FirstCluster == 0) continue;
        FixDotEntries(ctx, child.FirstCluster, newCluster);
        if (ctx.run.ErrorStop != 0) return;
    }
}

}  // namespace quillo
