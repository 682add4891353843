#pragma once
// Moving one file or folder, whole, to the start of one gap, in a fixed
// order that no stop, crash or failed write can turn into lost data:
// destination claimed in both tables, data copied, directory entry
// switched, dot entries repaired, old clusters freed.
#include <cstdint>
#include <string>

namespace quillo {

struct EngineContext;
struct DirEntrySector;

// Moves the file of `record` to the start of gap `gap`. On success `gap` is
// set to GapCursor. False when the file was left where it is (busy, changed,
// stopped, or an error, which then also sets ErrorStop). With
// DefragState::ReplacementData set, the destination receives those bytes
// (exactly the file's clusters, e.g. a compacted folder) instead of a copy,
// in the same write order.
bool MoveFile(EngineContext& ctx, int32_t record, int32_t& gap);
// Gives back a freed run to the gap list, keeping it sorted and merged.
void AddFreeExtent(EngineContext& ctx, int32_t start, int32_t length);
// Notes where the record's file now starts, for FileAtCluster.
void RecordMove(EngineContext& ctx, int32_t record, int32_t oldFirstCluster);
// Binary search of the move table; the last probe (0 for an empty table).
int32_t FindInMoveTable(const EngineContext& ctx, int32_t cluster);
// Gaps before the last one, as the phase start and the log count them. Entries
// that moves emptied stay in the list until a merge drops them: not gaps.
int32_t GapsLeft(const EngineContext& ctx);

// --- The steps of a move, each usable on its own ------------------------------

// Made with the write lock held, before anything is written, when other
// programs may have written since the analysis: the entry still names the
// file at the cluster the record says, the file is not held open, its size
// still needs `clusters` clusters, and `destination` .. + clusters - 1 are
// still free on disk. A changed file is marked busy; a destination taken
// meanwhile rebuilds the gap list. False: leave the file where it is.
bool RecheckBeforeMove(EngineContext& ctx, int32_t record, const DirEntrySector& entry,
                       const std::string& entryName, int32_t clusters, int32_t destination);
// Claims start .. start + count - 1 as one chain in FatTable and writes the
// covering table sectors to both copies. Stops the run with
// "Invalid MarkChain" (nothing changed, nothing written) when one of them is
// not free.
bool MarkAndWriteChain(EngineContext& ctx, int32_t start, int32_t count);

}  // namespace quillo
