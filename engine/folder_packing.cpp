#include "engine/folder_packing.h"

#include <vector>

#include "analysis/chains.h"
#include "common/engine_context.h"
#include "disk/dir_entry_layout.h"
#include "disk/sector_io.h"
#include "disk/volume_lock.h"
#include "engine/dir_entry.h"
#include "engine/mover.h"
#include "engine/planner_defrag.h"

namespace quillo {
namespace {

void StopPacking(EngineContext& ctx, const char* message) {
    ctx.run.ErrorStop = 1;
    ctx.run.StopRequested = true;
    ctx.run.ErrorMessage = message;
}

// Where each record of the folder's entries ends up once the folder is
// compacted: the live entries keep their order.
void RenumberEntries(EngineContext& ctx, int32_t folderRecord, const std::vector<int32_t>& newSlot) {
    ScanState& scan = ctx.scan;
    for (int32_t r = folderRecord + 1; r <= scan.RecordCount; ++r) {
        FileRecord& record = scan.FileRecords[r];
        if (record.ParentRecord != folderRecord) continue;
        if (record.EntryIndex >= 0 && static_cast<size_t>(record.EntryIndex) < newSlot.size())
            record.EntryIndex = newSlot[record.EntryIndex];
    }
}

}  // namespace

// Compacts a folder image in place: live entries move up over erased ones,
// keeping their order (long-name pieces stay with their short entry), and
// every slot they leave gets the end-of-folder mark. Slots after the old
// end-of-folder mark stay as they are: some systems read on past the mark,
// and what they find there is not ours to wipe. Returns whether anything
// changed; `newSlot` maps each old slot to its new one.
bool CompactFolderEntries(std::vector<uint8_t>& folder, std::vector<int32_t>& newSlot) {
    const size_t slots = folder.size() / kEntrySize;
    newSlot.assign(slots, -1);
    size_t hole = slots;  // none yet
    size_t i = 0;
    for (; i < slots; ++i) {
        uint8_t* entry = &folder[i * kEntrySize];
        if (entry[0] == kEndOfFolder) break;
        if (entry[0] == kErasedEntry) {
            if (hole == slots) hole = i;
            continue;
        }
        if (hole == slots) {
            newSlot[i] = static_cast<int32_t>(i);
            continue;
        }
        std::copy(entry, entry + kEntrySize, &folder[hole * kEntrySize]);
        newSlot[i] = static_cast<int32_t>(hole);
        ++hole;
    }
    if (hole == slots) return false;
    for (size_t k = hole; k < i; ++k) folder[k * kEntrySize] = 0;
    return true;
}

void PackFolder(EngineContext& ctx, int32_t record) {
    if (!ctx.dev.Level0Held) {
        if (EnterWriteLock(ctx, false)) YieldWriteLock(ctx);
        return;
    }
    // The root folder cannot be relocated (its place is fixed, or named by the
    // boot sector), and compacting it in place would move entries between
    // sectors in writes a power cut can tear: it stays as it is.
    if (record <= 0 || record > ctx.scan.RecordCount) return;
    const FileRecord& folder = ctx.scan.FileRecords[record];
    RunList runs;
    const int32_t clusters = FAT_Frag(ctx, folder.FirstCluster, runs);
    if (clusters <= 0 || ctx.run.ErrorStop != 0) return;
    const int64_t bytes = int64_t{clusters} * ctx.geo.BytesPerCluster;
    if (bytes > int64_t{1} << 24) return;  // a hostile size stays unread

    // The whole folder, run by run: a fragmented folder comes out of the
    // relocation contiguous as well as compacted.
    std::vector<uint8_t> image(static_cast<size_t>(bytes));
    size_t filled = 0;
    for (int32_t k = 1; k <= runs.Count(); ++k) {
        const uint32_t sectors = static_cast<uint32_t>(runs.RunLength[k] * ctx.geo.SectorsPerCluster);
        if (!ReadSectors(ctx, ClusterSector(ctx.geo, static_cast<uint32_t>(runs.RunStart[k])), sectors,
                         image.data() + filled)) {
            ReportDiskError(ctx);
            return;
        }
        filled += size_t{sectors} * kSectorSize;
    }
    if (image[0] != '.') {
        StopPacking(ctx, "Invalid Dot entry");
        return;
    }
    std::vector<int32_t> newSlot;
    if (!CompactFolderEntries(image, newSlot)) return;

    // The compacted folder goes to a free run and the parent's entry switches
    // to it in one sector write, exactly like a moved folder: a crash leaves
    // either the old folder or the compacted one, never a mix of the two.
    int32_t start = 0;
    int32_t gap = FindBestFitGap(ctx, ctx.chains.GapCursor, clusters, start);
    if (gap == 0) return;
    ctx.defrag.ReplacementData = &image;
    const bool moved = MoveFile(ctx, record, gap);
    ctx.defrag.ReplacementData = nullptr;
    if (moved) RenumberEntries(ctx, record, newSlot);
}

void PackFolders(EngineContext& ctx) {
    ctx.view.SetProgressCaption("Packing folders");
    // Folders are relocated through the gaps, so the gap count stays shown
    // and every move updates it.
    ctx.view.SetStatusPair(2, "Gaps:", " " + std::to_string(GapsLeft(ctx)));
    const ScanState& scan = ctx.scan;
    for (int32_t i = 1; i <= scan.FoldersWithErasedCount; ++i) {
        if ((i - 1) % 10 == 0) ctx.view.SetStatusPair(1, "Folders:", " " + std::to_string(i - 1));
        PackFolder(ctx, scan.FoldersWithErased[i]);
        if (ctx.run.StopRequested) return;
    }
}

}  // namespace quillo
