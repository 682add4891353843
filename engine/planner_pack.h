#pragma once
// Packing: files beyond the first gap are moved down into the gaps nearer
// the start of the volume, chosen by size class so that gaps fill as
// exactly as possible. One pass runs until the gaps are done, the move
// table holds 254 moves, or a gap opens before the pass's floor.
#include <cstdint>
#include <vector>

#include "common/sort_pairs.h"

namespace quillo {

struct EngineContext;
struct Planner;

// Collects the candidates of one pass, sorts them and packs.
void PackPass(Planner& planner);
// The walk over the gaps from GapCursor with the sorted Candidates.
void PackFiles(Planner& planner);
// Sets PackFloor and gathers the pass's Candidates in disk order: files
// that may move and lie beyond the floor, and fragmented ones. Returns the
// count.
int32_t CollectCandidates(EngineContext& ctx);
// Pushes every candidate on the head of its size-class bucket, in order.
void BucketCandidates(EngineContext& ctx);
// Moves files into gap `gap`, each chosen for its length ÷ `divisor`, up to
// 16 moves; true when anything moved.
bool FillGap(Planner& planner, int32_t gap, int32_t divisor);
// Makes room after gap `gap` by moving the file that follows it into a
// later gap; returns the record moved, or 0. Sets `gap` to GapCursor.
int32_t MoveBlockerBack(Planner& planner, int32_t& gap);
// The last gap from `fromGap` on that holds `clusters`, unless an exact fit
// comes first; 0 when none.
int32_t FindGapFrom(const EngineContext& ctx, int32_t fromGap, int32_t clusters);

// Sorts table[1..n] ascending by key: quicksort with a random pivot. Keys
// are expected to differ (first clusters).
void QuickSortPairs(std::vector<SortPair>& table, int32_t n);

}  // namespace quillo
