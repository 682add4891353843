#pragma once
// The defragment planner's shared pieces: which move operation it uses, how
// it sizes and classes files, the size-class buckets of packing candidates,
// and the lookup of the file that starts at a cluster. The planner only
// decides; every move it decides on goes through Planner::move.
#include <cstdint>
#include <functional>

namespace quillo {

struct EngineContext;

// Moves the file of `record` to the start of gap `gap`; on success sets
// `gap` to GapCursor. The contract of MoveFile (engine/mover.h).
using MoveOperation = std::function<bool(EngineContext&, int32_t record, int32_t& gap)>;

struct Planner {
    explicit Planner(EngineContext& context);
    Planner(EngineContext& context, MoveOperation moveOperation);

    EngineContext& ctx;
    MoveOperation move;  // MoveFile in a real run
};

// The whole defragment phase with this planner's move operation.
void RunDefragmentPhase(Planner& planner);

// Clusters a file of `sizeBytes` takes: 0 for an empty file.
int32_t ClusterCountOf(const EngineContext& ctx, int64_t sizeBytes);
// Clusters of the record's file.
int32_t RecordClusters(const EngineContext& ctx, int32_t record);
// Packing bucket of a file of `clusters`: the size itself below 65, then
// the first PackClassLimit index that holds it, 83 when none does.
int32_t SizeClass(const EngineContext& ctx, int32_t clusters);
// PackClassLimit[1..82]: 1..64, then 128, 256, doubling up to 2^24.
void BuildPackClassLimit(EngineContext& ctx);

// The record of the packing candidate or moved file that starts at
// `cluster`, or 0.
int32_t FileAtCluster(const EngineContext& ctx, int32_t cluster);
// Takes candidate `item` out of `bucket` (it follows `prev`, 0: the head)
// and puts it back before the first candidate whose file starts below `key`.
void RelinkCandidate(EngineContext& ctx, int32_t bucket, int32_t item, int32_t prev, int32_t key);
// Puts a moved candidate back in order in its bucket.
void RebucketFile(EngineContext& ctx, int32_t record);

// Repaints the gap cells and sets the next repaint mark.
void RepaintGaps(EngineContext& ctx);
// Repaints the gap cells and the fragmentation gauge.
void RepaintGapsAndStatistics(EngineContext& ctx);
// Index of the last file record.
int32_t LastRecord(const EngineContext& ctx);
// The record is left where it is (busy, big, or the swap file).
bool IsFixed(const EngineContext& ctx, int32_t record);
// The cluster is on the volume and free in the allocation table.
bool IsFreeCluster(const EngineContext& ctx, int64_t cluster);

}  // namespace quillo
