#pragma once
// The per-cell map of the volume: which category each display cell shows,
// with the precedence that keeps Fixed and Fragments cells visible.
#include <cstdint>
#include <vector>

namespace quillo {

struct EngineContext;

// The one way a cell changes (apart from MarkFixedChain, MarkPartialCell and
// the mover's own writes); draws the cell when it changed.
void SetCellCategory(EngineContext& ctx, int32_t cluster, int category);
// Paints runs 1..count; the head cell of a fragmented chain becomes Fragments.
void PaintRuns(EngineContext& ctx, const std::vector<int32_t>& runLength,
               const std::vector<int32_t>& runStart, int32_t count, int category);
// Paints the chain Fixed, overriding whatever the cells showed.
void MarkFixedChain(EngineContext& ctx, uint32_t first);
// Marks Partial the cells where a gap begins or ends part way. The mover's
// next-redraw mark is the mover's to set after calling this.
void RedrawGaps(EngineContext& ctx);
// Marks the cell of `cluster` Partial when the cluster is not the first of
// its cell and the cell is not Fragments, Fixed or Partial already; draws it.
void MarkPartialCell(EngineContext& ctx, int32_t cluster);

}  // namespace quillo
