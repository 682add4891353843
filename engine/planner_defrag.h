#pragma once
// Making fragmented files contiguous: each is moved whole into the smallest
// gap that holds it, the largest files first, in rounds of falling size
// thresholds and in disk order within a round.
#include <cstdint>

namespace quillo {

struct EngineContext;
struct Planner;

// FragList: (first cluster, record) of every fragmented file that may move,
// in disk order. False when there is none or the run was stopped.
bool BuildFragList(EngineContext& ctx);
// The rounds over FragList. With `packAlso` (called from packing) a file
// made contiguous goes back in order into its packing bucket and the move
// table is kept; otherwise the move table is emptied after every move.
void DefragFragmentedFiles(Planner& planner, bool packAlso);
// Moves the record's file of `clusters` into the best-fitting gap from
// GapCursor on; false when no gap holds it (a move was tried otherwise).
bool DefragOne(Planner& planner, int32_t record, int32_t clusters);
// The smallest gap from `fromGap` on that holds `clusters` (the first one
// among equals; an exact fit ends the search) and its start; 0 when none.
int32_t FindBestFitGap(const EngineContext& ctx, int32_t fromGap, int32_t clusters, int32_t& start);

}  // namespace quillo
