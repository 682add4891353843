#include "engine/remaining_fragmented.h"

#include <string>

#include "analysis/cell_map.h"
#include "analysis/chains.h"
#include "analysis/directory_scan.h"
#include "common/engine_context.h"
#include "engine/dir_entry.h"
#include "engine/planner.h"

namespace quillo {

void ListRemainingFragmented(EngineContext& ctx) {
    const DefragState& defrag = ctx.defrag;
    if (defrag.PendingFragmentedCount == 0) return;
    int32_t left = ctx.chains.FragmentedFiles - static_cast<int32_t>(ctx.lists.Fragmented.size());
    if (left <= 0) return;

    const int32_t count = static_cast<int32_t>(defrag.FragList.size()) - 1;
    for (int32_t i = 1; i <= count && left > 0; ++i) {
        const int32_t record = defrag.FragList[i].value;
        const FileRecord& rec = ctx.scan.FileRecords[record];
        if (IsFixed(ctx, record) || rec.Fragments <= 1) continue;
        // The name comes from the entry itself; a file whose entry cannot
        // be read back is left out.
        DirEntrySector entry;
        if (!LocateDirEntry(ctx, record, entry)) continue;
        RunList runs;
        if (FAT_Frag(ctx, rec.FirstCluster, runs) > 0)
            PaintRuns(ctx, runs.RunLength, runs.RunStart, runs.Count(), kCellFiles);
        const std::string path =
            FolderPath(ctx, ctx.scan.RecordFolder[record]) + "\\" + ShortEntryName(entry.Entry());
        const bool big = static_cast<int64_t>(rec.Size) > ctx.geo.HugePackLimit;
        AddFragmentedItem(ctx, path, rec.Size, big ? " (big)" : "", (rec.Attributes & kAttrFolder) != 0);
        --left;
    }
}

}  // namespace quillo
