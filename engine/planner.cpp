#include "engine/planner.h"

#include <algorithm>
#include <utility>

#include "analysis/cell_map.h"
#include "common/engine_context.h"
#include "disk/fat_codec.h"
#include "engine/mover.h"

namespace quillo {
namespace {

constexpr int32_t kLastExactClass = 64;    // classes 1..64 hold one size each
constexpr int32_t kFirstDoublingClass = 66;
constexpr int32_t kLastClass = 82;
constexpr int32_t kOversizeClass = 83;

int32_t CandidateCount(const DefragState& defrag) {
    return defrag.Candidates.empty() ? 0 : static_cast<int32_t>(defrag.Candidates.size()) - 1;
}

int32_t NextInBucket(const DefragState& defrag, int32_t item) {
    return static_cast<size_t>(item) < defrag.BucketNext.size() ? defrag.BucketNext[item] : 0;
}

}  // namespace

Planner::Planner(EngineContext& context) : ctx(context), move(&MoveFile) {}

Planner::Planner(EngineContext& context, MoveOperation moveOperation)
    : ctx(context), move(std::move(moveOperation)) {}

int32_t ClusterCountOf(const EngineContext& ctx, int64_t sizeBytes) {
    if (sizeBytes <= 0 || ctx.geo.BytesPerCluster <= 0) return 0;
    return static_cast<int32_t>((sizeBytes - 1) / ctx.geo.BytesPerCluster + 1);
}

int32_t RecordClusters(const EngineContext& ctx, int32_t record) {
    return ClusterCountOf(ctx, ctx.scan.FileRecords[record].Size);
}

int32_t SizeClass(const EngineContext& ctx, int32_t clusters) {
    if (clusters <= kLastExactClass) return clusters < 0 ? 0 : clusters;
    for (int32_t k = kLastExactClass + 1; k <= kLastClass; ++k)
        if (clusters <= ctx.defrag.PackClassLimit[k]) return k;
    return kOversizeClass;
}

void BuildPackClassLimit(EngineContext& ctx) {
    int32_t* limit = ctx.defrag.PackClassLimit;
    limit[0] = 0;
    for (int32_t k = 1; k <= kLastExactClass; ++k) limit[k] = k;
    limit[kLastExactClass + 1] = 128;
    for (int32_t k = kFirstDoublingClass; k <= kLastClass; ++k) limit[k] = limit[k - 1] * 2;
}

int32_t FileAtCluster(const EngineContext& ctx, int32_t cluster) {
    const DefragState& defrag = ctx.defrag;
    const int32_t moved = FindInMoveTable(ctx, cluster);
    if (moved > 0 && static_cast<size_t>(moved) < defrag.MoveTable.size() &&
        moved < defrag.MoveCount && defrag.MoveTable[moved].key == cluster)
        return defrag.MoveTable[moved].value;

    // Candidates keep the cluster each file started at when the pass began.
    int32_t low = 1;
    int32_t high = CandidateCount(defrag);
    while (low <= high) {
        const int32_t mid = low + (high - low) / 2;
        const int32_t key = defrag.Candidates[mid].key;
        if (key == cluster) return defrag.Candidates[mid].value;
        if (key < cluster)
            low = mid + 1;
        else
            high = mid - 1;
    }
    return 0;
}

void RelinkCandidate(EngineContext& ctx, int32_t bucket, int32_t item, int32_t prev, int32_t key) {
    DefragState& defrag = ctx.defrag;
    const std::vector<FileRecord>& records = ctx.scan.FileRecords;
    if (prev == 0)
        defrag.BucketHead[bucket] = defrag.BucketNext[item];
    else
        defrag.BucketNext[prev] = defrag.BucketNext[item];

    // Each bucket runs from the end of the volume towards its start.
    int32_t before = 0;
    int32_t at = defrag.BucketHead[bucket];
    while (at != 0 &&
           static_cast<int64_t>(records[defrag.Candidates[at].value].FirstCluster) >= key) {
        before = at;
        at = defrag.BucketNext[at];
    }
    defrag.BucketNext[item] = at;
    if (before == 0)
        defrag.BucketHead[bucket] = item;
    else
        defrag.BucketNext[before] = item;
}

void RebucketFile(EngineContext& ctx, int32_t record) {
    DefragState& defrag = ctx.defrag;
    const int32_t bucket = SizeClass(ctx, RecordClusters(ctx, record));
    int32_t prev = 0;
    for (int32_t item = defrag.BucketHead[bucket]; item != 0; item = NextInBucket(defrag, item)) {
        if (defrag.Candidates[item].value == record) {
            RelinkCandidate(ctx, bucket, item, prev,
                            static_cast<int32_t>(ctx.scan.FileRecords[record].FirstCluster));
            return;
        }
        prev = item;
    }
}

void RepaintGaps(EngineContext& ctx) {
    RedrawGaps(ctx);
    ctx.defrag.NextRedrawAt = ctx.defrag.MovedClusters + ctx.geo.ClustersPer4K;
}

void RepaintGapsAndStatistics(EngineContext& ctx) {
    RepaintGaps(ctx);
    ctx.view.RedrawGauge();
}

int32_t LastRecord(const EngineContext& ctx) {
    const int64_t held = static_cast<int64_t>(ctx.scan.FileRecords.size()) - 1;
    return static_cast<int32_t>(std::min<int64_t>(ctx.scan.RecordCount, held));
}

bool IsFixed(const EngineContext& ctx, int32_t record) {
    const std::vector<uint8_t>& fixed = ctx.scan.RecordFixed;
    return static_cast<size_t>(record) < fixed.size() && fixed[record] != 0;
}

bool IsFreeCluster(const EngineContext& ctx, int64_t cluster) {
    const std::vector<uint32_t>& table = ctx.fat.FatTable;
    return cluster >= 2 && cluster <= ctx.geo.MaxCluster &&
           static_cast<size_t>(cluster) < table.size() && (table[cluster] & kFatMask) == 0;
}

}  // namespace quillo
