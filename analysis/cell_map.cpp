#include "analysis/cell_map.h"

#include <algorithm>

#include "analysis/chains.h"
#include "common/engine_context.h"

namespace quillo {
namespace {

int64_t ClustersPerCellOf(const ChainState& chains) {
    return std::max<int32_t>(chains.ClustersPerCell, 1);
}

// The cell that shows `cluster`, or -1 when the map has no such cell.
int64_t CellOf(const ChainState& chains, int64_t cluster) {
    if (cluster < 0) return -1;
    const int64_t cell = cluster / ClustersPerCellOf(chains);
    return cell < static_cast<int64_t>(chains.MapCells.size()) ? cell : -1;
}

// One past the last cluster the map can show, so that a hostile run length
// never makes a paint loop walk past the map.
int64_t MapClusterEnd(const ChainState& chains) {
    return static_cast<int64_t>(chains.MapCells.size()) * ClustersPerCellOf(chains);
}

void PaintCell(EngineContext& ctx, int64_t cluster, int category) {
    ChainState& chains = ctx.chains;
    const int64_t cell = CellOf(chains, cluster);
    if (cell < 0) return;
    const int old = chains.MapCells[cell];
    if (old == category) return;
    if (category != kCellFixed && category != kCellEmpty) {
        if (old == kCellFixed || old == kCellFragments) return;
        if (category > 15) {
            // Only fills a cell nobody painted yet.
            if (old != kCellNone) return;
            category &= 15;
        }
    }
    chains.MapCells[cell] = static_cast<uint8_t>(category);
    ctx.view.PaintMapCell(static_cast<int32_t>(cell), static_cast<uint8_t>(category));
}

void StoreFixed(EngineContext& ctx, int64_t cluster) {
    const int64_t cell = CellOf(ctx.chains, cluster);
    if (cell < 0) return;
    ctx.chains.MapCells[cell] = kCellFixed;
    ctx.view.PaintMapCell(static_cast<int32_t>(cell), kCellFixed);
}

// Calls `paint` once for each cell the run touches: every ClustersPerCell-th
// cluster from the start, and the last cluster so its cell is never skipped.
template <typename Paint>
void ForEachRunCell(const ChainState& chains, int64_t start, int64_t length, Paint paint) {
    if (length <= 0 || start < 0) return;
    const int64_t step = ClustersPerCellOf(chains);
    const int64_t end = std::min(start + length - 1, MapClusterEnd(chains));
    for (int64_t cl = start; cl <= end; cl += step) paint(cl);
    if (start != end) paint(end);
}

}  // namespace

void SetCellCategory(EngineContext& ctx, int32_t cluster, int category) {
    PaintCell(ctx, cluster, category);
}

void PaintRuns(EngineContext& ctx, const std::vector<int32_t>& runLength,
               const std::vector<int32_t>& runStart, int32_t count, int category) {
    const int64_t held = static_cast<int64_t>(std::min(runLength.size(), runStart.size())) - 1;
    const int64_t last = std::min<int64_t>(count, held);
    // Free runs (15, 143) have no head to mark.
    if (last > 1 && (category & 7) != 7) PaintCell(ctx, runStart[1], kCellFragments);
    for (int64_t k = 1; k <= last; ++k) {
        ForEachRunCell(ctx.chains, runStart[k], runLength[k],
                       [&](int64_t cl) { PaintCell(ctx, cl, category); });
    }
}

void MarkFixedChain(EngineContext& ctx, uint32_t first) {
    RunList runs;
    if (FAT_Frag(ctx, first, runs) == 0) return;
    for (int32_t k = 1; k <= runs.Count(); ++k) {
        ForEachRunCell(ctx.chains, runs.RunStart[k], runs.RunLength[k],
                       [&](int64_t cl) { StoreFixed(ctx, cl); });
    }
}

void MarkPartialCell(EngineContext& ctx, int32_t cluster) {
    ChainState& chains = ctx.chains;
    if (cluster % ClustersPerCellOf(chains) == 0) return;  // the cell starts with it
    const int64_t cell = CellOf(chains, cluster);
    if (cell < 0) return;
    const uint8_t old = chains.MapCells[cell];
    if (old == kCellFragments || old == kCellFixed || old == kCellPartial) return;
    chains.MapCells[cell] = kCellPartial;
    ctx.view.PaintMapCell(static_cast<int32_t>(cell), kCellPartial);
}

void RedrawGaps(EngineContext& ctx) {
    const ChainState& chains = ctx.chains;
    const int64_t held =
        static_cast<int64_t>(std::min(chains.GapLength.size(), chains.GapStart.size())) - 1;
    const int64_t last = std::min<int64_t>(chains.GapCount, held);
    const int64_t maxCluster = ctx.geo.MaxCluster;
    for (int64_t g = std::max(chains.GapCursor, 1); g <= last; ++g) {
        const int64_t length = chains.GapLength[g];
        if (length <= 0) continue;
        const int64_t start = chains.GapStart[g];
        // Clusters 0 and 1 do not exist: a gap from cluster 2 fills its cell
        // from the cell's first real cluster.
        MarkPartialCell(ctx, start == 2 ? 0 : static_cast<int32_t>(start));
        // The cell after the gap's last cluster, unless the gap ends with its
        // cell or with the volume.
        const int64_t after = start + length;
        if (after <= maxCluster) MarkPartialCell(ctx, static_cast<int32_t>(after));
    }
}

}  // namespace quillo
