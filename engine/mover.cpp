// The mover's write order and what a crash leaves between its steps:
//   claim destination (both tables) + copy data   -> lost clusters only
//   flush
//   switch the entry, then subfolders' ".."       -> old chain lost; a
//                                                    subfolder's ".." may
//                                                    still name the old copy
//   flush
//   free the old chain (both tables)              -> lost clusters or
//                                                    differing table copies
#include "engine/mover.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "analysis/cell_map.h"
#include "analysis/chains.h"
#include "analysis/directory_scan.h"
#include "common/engine_context.h"
#include "common/little_endian.h"
#include "common/log.h"
#include "disk/busy_files.h"
#include "disk/dir_entry_layout.h"
#include "disk/fat_codec.h"
#include "disk/fat_table.h"
#include "disk/sector_io.h"
#include "disk/volume_lock.h"
#include "engine/dir_entry.h"

namespace quillo {
namespace {

// Data is staged through one buffer of this size.
constexpr int32_t kCopyChunk = 1 << 20;
// The kind of opening that the busy-file table gives a file mapped read-only:
// it may be moved, one cluster at a time.
constexpr int kMappedReadOnly = 2;
// The value of the second status pair ("Gaps:").
constexpr int kGapsPair = 2;

void StopMove(EngineContext& ctx, const char* message, const char* source) {
    ctx.run.ErrorStop = 1;
    ctx.run.StopRequested = true;
    ctx.run.ErrorMessage = message;
    ctx.run.ErrorSource = source;
}

void PaintRange(EngineContext& ctx, int32_t start, int32_t length, int category) {
    if (length <= 0) return;
    const int32_t step = std::max(ctx.chains.ClustersPerCell, 1);
    const int32_t last = start + length - 1;
    for (int32_t c = start; c <= last; c += step) SetCellCategory(ctx, c, category);
    SetCellCategory(ctx, last, category);
}

void PaintRunList(EngineContext& ctx, const RunList& runs, int category) {
    for (int32_t k = 1; k <= runs.Count(); ++k)
        PaintRange(ctx, runs.RunStart[k], runs.RunLength[k], category);
}

// Undoes the "Moving" and "To" marks of a move that did not happen.
void RepaintLeftInPlace(EngineContext& ctx, int32_t record, const RunList& runs,
                        int32_t destination, int32_t clusters) {
    PaintRange(ctx, destination, clusters, kCellEmpty);
    PaintRuns(ctx, runs.RunLength, runs.RunStart, runs.Count(), kCellFiles);
    if (ctx.scan.RecordFixed[record] == kRecordFixed)
        MarkFixedChain(ctx, ctx.scan.FileRecords[record].FirstCluster);
    ctx.view.Yield();
}

bool RecordInUse(const EngineContext& ctx, int32_t record) {
    const std::vector<uint8_t>& inUse = ctx.scan.RecordInUse;
    return static_cast<size_t>(record) < inUse.size() && inUse[record] != 0;
}

void SetRecordInUse(EngineContext& ctx, int32_t record, bool inUse) {
    std::vector<uint8_t>& table = ctx.scan.RecordInUse;
    if (static_cast<size_t>(record) >= table.size()) table.resize(static_cast<size_t>(record) + 1, 0);
    table[record] = inUse ? kRecordFixed : 0;
}

int64_t ClustersForSize(const EngineContext& ctx, int64_t size) {
    return size <= 0 ? 0 : (size - 1) / ctx.geo.BytesPerCluster + 1;
}

// Writes `filled` staged bytes at `destSector`. The first write of a folder
// gets the folder's own "." and ".." for its new place, so that switching its
// entry alone makes the moved folder whole.
bool WriteStaged(EngineContext& ctx, int32_t record, int32_t destination, uint32_t destSector,
                 int64_t filled) {
    const Geometry& geo = ctx.geo;
    const FileRecord& rec = ctx.scan.FileRecords[record];
    uint8_t* buffer = ctx.defrag.CopyBuffer.data();
    if ((rec.Attributes & kAttrFolder) != 0 && destSector == ClusterSector(geo, static_cast<uint32_t>(destination)))
        PatchDotEntries(geo, buffer, static_cast<uint32_t>(destination),
                        ctx.scan.FileRecords[rec.ParentRecord].FirstCluster);
    ctx.dev.SectorCursor = static_cast<int32_t>(destSector);
    return WriteAtCursor(ctx, buffer, static_cast<uint32_t>(filled / geo.BytesPerSector), WriteKind::FileData);
}

// Copies the file's sectors, run by run, through the copy buffer to the
// clusters from `destination` on; only the sectors that hold its bytes.
bool CopyData(EngineContext& ctx, int32_t record, const RunList& runs, int32_t clusters,
              int32_t destination, int32_t chunk) {
    const Geometry& geo = ctx.geo;
    const FileRecord& rec = ctx.scan.FileRecords[record];
    std::vector<uint8_t>& buffer = ctx.defrag.CopyBuffer;
    if (buffer.size() < static_cast<size_t>(kCopyChunk)) buffer.assign(kCopyChunk, 0);

    const std::vector<uint8_t>* replacement = ctx.defrag.ReplacementData;
    uint32_t destSector = ClusterSector(geo, static_cast<uint32_t>(destination));
    if (replacement != nullptr) {
        // The caller's new content for the same clusters (a compacted folder).
        for (size_t offset = 0; offset < replacement->size(); offset += static_cast<size_t>(chunk)) {
            const size_t part = std::min(replacement->size() - offset, static_cast<size_t>(chunk));
            std::copy_n(replacement->begin() + static_cast<std::ptrdiff_t>(offset), part, buffer.begin());
            if (!WriteStaged(ctx, record, destination, destSector, static_cast<int64_t>(part))) return false;
            destSector += static_cast<uint32_t>(part / geo.BytesPerSector);
        }
        return true;
    }

    const bool isFolder = (rec.Attributes & kAttrFolder) != 0;
    const int64_t bytes = isFolder ? int64_t{clusters} * geo.BytesPerCluster : int64_t{rec.Size};
    int64_t remaining = ((bytes - 1) / geo.BytesPerSector + 1) * geo.BytesPerSector;
    int64_t filled = 0;
    for (int32_t k = 1; k <= runs.Count() && remaining > 0; ++k) {
        uint32_t srcSector = ClusterSector(geo, static_cast<uint32_t>(runs.RunStart[k]));
        int64_t runBytes = std::min<int64_t>(int64_t{runs.RunLength[k]} * geo.BytesPerCluster, remaining);
        while (runBytes > 0) {
            const int64_t part = std::min<int64_t>(runBytes, chunk - filled);
            const uint32_t partSectors = static_cast<uint32_t>(part / geo.BytesPerSector);
            ctx.dev.SectorCursor = static_cast<int32_t>(srcSector);
            if (!ReadAtCursor(ctx, buffer.data() + filled, partSectors)) return false;
            filled += part;
            runBytes -= part;
            srcSector += partSectors;
            remaining -= part;
            if (filled < chunk && remaining > 0) continue;
            if (!WriteStaged(ctx, record, destination, destSector, filled)) return false;
            destSector += static_cast<uint32_t>(filled / geo.BytesPerSector);
            filled = 0;
        }
    }
    return true;
}

// The gap index is trusted only this far: the destination must be a known
// free run that holds the whole file.
bool DestinationFits(const EngineContext& ctx, int32_t gap, int32_t clusters) {
    const ChainState& chains = ctx.chains;
    return gap >= 1 && gap <= chains.GapCount && static_cast<size_t>(gap) < chains.GapStart.size() &&
           static_cast<size_t>(gap) < chains.GapLength.size() && chains.GapLength[gap] >= clusters;
}

}  // namespace

bool MoveFile(EngineContext& ctx, int32_t record, int32_t& gap) {
    ScanState& scan = ctx.scan;
    ChainState& chains = ctx.chains;
    const Geometry& geo = ctx.geo;
    if (record <= 0 || record > scan.RecordCount) return false;
    FileRecord& rec = scan.FileRecords[record];

    // The file's runs as the table says now.
    RunList runs;
    const int32_t clusters = FAT_Frag(ctx, rec.FirstCluster, runs);
    if (ctx.run.StopRequested || clusters == 0) return false;
    if (!DestinationFits(ctx, gap, clusters)) {
        StopMove(ctx, "Invalid MarkChain", "MoveFile");
        return false;
    }
    const std::vector<uint8_t>* replacement = ctx.defrag.ReplacementData;
    if (replacement != nullptr &&
        replacement->size() != static_cast<size_t>(clusters) * static_cast<size_t>(geo.BytesPerCluster)) {
        StopMove(ctx, "Invalid replacement data", "MoveFile");
        ctx.run.InternalError = true;
        return false;
    }
    const int32_t destination = chains.GapStart[gap];
    const uint32_t oldFirst = rec.FirstCluster;

    // Show what moves where.
    const int32_t sectors = static_cast<int32_t>(
        (std::max<int64_t>(rec.Size, 1) - 1) / geo.BytesPerSector + 1);
    ctx.view.SetLabelCaption(ViewLabel::MovingValue, " " + FormatSize(sectors));
    PaintRunList(ctx, runs, kCellMoving);
    PaintRange(ctx, destination, clusters, kCellTo);
    ctx.view.Yield();

    // Keep other programs out while we write.
    if (!ctx.dev.Level0Held) {
        if (!EnterWriteLock(ctx, true)) return false;
        if (ctx.run.RestartNeeded) {
            YieldWriteLock(ctx);
            ctx.run.StopRequested = true;
            return false;
        }
    }

    // The directory entry that names the file.
    DirEntrySector entry;
    if (!LocateDirEntry(ctx, record, entry)) {
        YieldWriteLock(ctx);
        if (ctx.run.ErrorStop == 0) MarkBusy(ctx, record, "");  // the folder changed under it
        RepaintLeftInPlace(ctx, record, runs, destination, clusters);
        return false;
    }
    const std::string name = ShortEntryName(entry.Entry());

    // Still the file the analysis saw?
    int32_t chunk = kCopyChunk;
    if (!ctx.dev.Level0Held) {
        if (!RecheckBeforeMove(ctx, record, entry, name, clusters, destination)) {
            YieldWriteLock(ctx);
            RepaintLeftInPlace(ctx, record, runs, destination, clusters);
            return false;
        }
        if (RecordInUse(ctx, record)) chunk = geo.BytesPerCluster;
    } else if (EntryFirstCluster(geo, entry.Entry()) != oldFirst) {
        // Nobody else writes under the exclusive lock: our own picture is
        // wrong. Stop before claiming anything.
        StopMove(ctx, "Invalid fixup subdir", "MoveFile");
        YieldWriteLock(ctx);
        return false;
    }

    // Claim the destination in both tables. Nothing names it yet, so a
    // crash from here to the switch leaves at worst lost clusters.
    if (!MarkAndWriteChain(ctx, destination, clusters)) {
        YieldWriteLock(ctx);
        ctx.run.ErrorStop = 1;
        return false;
    }

    // Copy the data (or write the caller's replacement for it) into the
    // claimed clusters.
    if (!CopyData(ctx, record, runs, clusters, destination, chunk)) {
        YieldWriteLock(ctx);
        return false;
    }

    // Flush the claim and the copied data before the entry points at them, so
    // a crash never leaves an entry naming clusters that hold nothing yet or
    // that the table still calls free (and would give to the next file).
    if (!OrderingPoint(ctx)) {
        YieldWriteLock(ctx);
        return false;
    }

    // The switch: one sector write, after which the file is at its new place.
    FixDirEntryCluster(ctx, record, static_cast<uint32_t>(destination), entry);
    if (ctx.run.ErrorStop != 0) {
        YieldWriteLock(ctx);
        return false;
    }

    // The record follows the file.
    if (rec.Fragments > 1) {
        --ctx.defrag.PendingFragmentedCount;
        chains.FragmentedClusters -= clusters;
    }
    rec.Fragments = 1;
    rec.FirstCluster = static_cast<uint32_t>(destination);

    // Subfolders of a moved folder: their ".." still names the old copy,
    // which stays allocated until these writes are on the platter.
    if ((rec.Attributes & kAttrFolder) != 0) {
        FixFolderMoved(ctx, record, static_cast<uint32_t>(destination));
        if (ctx.run.ErrorStop != 0) {
            YieldWriteLock(ctx);
            return false;
        }
    }

    // Flush the switch and the ".." repairs before the old clusters are
    // freed: freed clusters may be claimed and overwritten by the next move,
    // so no entry on the platter may still lead to them.
    if (!OrderingPoint(ctx)) {
        YieldWriteLock(ctx);
        return false;
    }

    // Free the old chain. Lost or torn, this write leaves lost clusters
    // or differing table copies, never a file without its clusters.
    const std::vector<int32_t> starts(runs.RunStart.begin() + 1, runs.RunStart.end());
    const std::vector<int32_t> lengths(runs.RunLength.begin() + 1, runs.RunLength.end());
    if (!FreeRanges(ctx, starts, lengths)) {
        YieldWriteLock(ctx);
        ctx.run.ErrorStop = 1;
        return false;
    }

    // Back to level 1; the map shows the file at its new place.
    YieldWriteLock(ctx);
    PaintRunList(ctx, runs, kCellEmpty);
    PaintRange(ctx, destination, clusters, kCellFiles);
    ctx.view.Yield();

    // The old runs become free space in the gap list.
    chains.GapStart[gap] += clusters;
    chains.GapLength[gap] -= clusters;
    for (int32_t k = 1; k <= runs.Count(); ++k) AddFreeExtent(ctx, runs.RunStart[k], runs.RunLength[k]);

    // The counters, and the move table the planner finds files by.
    ctx.view.SetStatusValue(kGapsPair, " " + std::to_string(chains.GapCount - chains.GapCursor));
    ++ctx.defrag.MovedCount;
    ctx.defrag.MovedClusters += clusters;
    RecordMove(ctx, record, static_cast<int32_t>(oldFirst));
    gap = chains.GapCursor;
    return ctx.run.ErrorStop == 0;
}

int32_t GapsLeft(const EngineContext& ctx) {
    const ChainState& chains = ctx.chains;
    int32_t open = 0;
    for (int32_t g = 1; g <= chains.GapCount; ++g)
        if (chains.GapLength[g] > 0) ++open;
    return open - 1;
}

bool RecheckBeforeMove(EngineContext& ctx, int32_t record, const DirEntrySector& entry,
                       const std::string& entryName, int32_t clusters, int32_t destination) {
    const Geometry& geo = ctx.geo;
    FileRecord& rec = ctx.scan.FileRecords[record];
    if (CheckFatHead(ctx)) return false;

    const uint8_t* e = entry.Entry();
    if (e[0] == kEndOfFolder || e[0] == kErasedEntry) {  // erased behind our back
        MarkBusy(ctx, record, entryName);
        ctx.dev.BusyListRefreshed = true;
        return false;
    }

    if (ctx.dev.BusyListRefreshed) {
        std::string path = FolderPath(ctx, ctx.scan.RecordFolder[record]) + "\\";
        for (unsigned char c : entryName) path += static_cast<char>(std::toupper(c));
        const int kind = LookupBusyFile(ctx, path);
        if (kind != 0 && kind != kMappedReadOnly) {
            MarkBusy(ctx, record, entryName);
            return false;
        }
        SetRecordInUse(ctx, record, kind == kMappedReadOnly);
    }

    const uint32_t named = EntryFirstCluster(geo, e);
    if (named != rec.FirstCluster) {
        rec.FirstCluster = named;
        MarkBusy(ctx, record, entryName);
        return false;
    }
    // The record's size is what the file needed at the analysis; for a file
    // the entry's size must also still be that, or the file was rewritten.
    const bool isFolder = (rec.Attributes & kAttrFolder) != 0;
    if (ClustersForSize(ctx, rec.Size) != clusters || (!isFolder && le32(e + kSizeOffset) != rec.Size)) {
        MarkBusy(ctx, record, entryName);
        return false;
    }

    if (!RereadFatRange(ctx, destination, clusters)) return false;
    for (int32_t c = destination; c < destination + clusters; ++c) {
        if ((ctx.fat.FatTable[c] & kFatMask) != 0) {
            BuildGapTable(ctx, false);
            return false;
        }
    }
    return true;
}

bool MarkAndWriteChain(EngineContext& ctx, int32_t start, int32_t count) {
    std::vector<uint32_t>& table = ctx.fat.FatTable;
    const int64_t end = int64_t{start} + count;  // one past the last
    bool free = count >= 1 && start >= 2 && end - 1 <= ctx.geo.MaxCluster &&
                end <= static_cast<int64_t>(table.size());
    for (int32_t c = start; free && c < end; ++c) free = (table[c] & kFatMask) == 0;
    if (!free) {
        // Checked whole before anything changes: the table in memory stays
        // what the volume holds.
        StopMove(ctx, "Invalid MarkChain", "MarkAndWriteChain");
        return false;
    }
    for (int32_t c = start; c < end - 1; ++c)
        table[c] = (table[c] & ~kFatMask) | static_cast<uint32_t>(c + 1);
    table[end - 1] |= kFatMask;
    return WriteNewChain(ctx, start, count);
}

}  // namespace quillo
