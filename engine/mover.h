#pragma once
// Moving one file or folder, whole, to the start of one gap, in a fixed
// order that no stop, crash or failed write can turn into lost data:
// destination claimed in both tables, data copied, directory entry
// switched, dot entries repaired, old clusters freed.
#include <cstdint>

namespace quillo {

struct EngineContext;

// Moves the file of `record` to the start of gap `gap`. On success `gap` is
// set to GapCursor. False when the file was left where it is (busy, changed,
// stopped, or an error, which then also sets ErrorStop).
bool MoveFile(EngineContext& ctx, int32_t record, int32_t& gap);
// Gives back a freed run to the gap list, keeping it sorted and merged.
void AddFreeExtent(EngineContext& ctx, int32_t start, int32_t length);
// Notes where the record's file now starts, for FileAtCluster.
void RecordMove(EngineContext& ctx, int32_t record, int32_t oldFirstCluster);
// Binary search of the move table; the last probe (0 for an empty table).
int32_t FindInMoveTable(const EngineContext& ctx, int32_t cluster);

}  // namespace quillo
