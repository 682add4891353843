#include "engine/planner_choice.h"

#include "common/engine_context.h"
#include "engine/planner.h"

namespace quillo {
namespace {

// Limits of one search: files looked at, and improvements accepted.
constexpr int32_t kMostExamined = 4096;
constexpr int32_t kMostAccepted = 32;
// A gap is not closed when the files to shift exceed ten times its length.
constexpr int32_t kCloseSpanFactor = 10;

// Free clusters right before and right after the file's clusters.
int32_t FreeNeighbours(const EngineContext& ctx, int64_t first, int32_t clusters) {
    return (IsFreeCluster(ctx, first - 1) ? 1 : 0) + (IsFreeCluster(ctx, first + clusters) ? 1 : 0);
}

struct Choice {
    int32_t record = 0;
    int32_t item = 0;
    int32_t prev = 0;
    int32_t bucket = 0;
    int32_t neighbours = 0;
};

// The next gap after `gap` that has free clusters, or 0.
int32_t NextOpenGap(const ChainState& chains, int32_t gap) {
    for (int32_t g = gap + 1; g <= chains.GapCount; ++g)
        if (chains.GapLength[g] > 0) return g;
    return 0;
}

}  // namespace

int32_t ChooseFileForGap(EngineContext& ctx, int32_t gap, int32_t wanted, bool exactOnly,
                         bool anyFile) {
    DefragState& defrag = ctx.defrag;
    const std::vector<FileRecord>& records = ctx.scan.FileRecords;
    const int64_t gapStart = ctx.chains.GapStart[gap];
    Choice best;
    defrag.BestFitSize = 0;
    int32_t target = wanted;
    int32_t accepted = 0;
    int32_t examined = 0;
    if (wanted <= 0) return 0;

    bool searchOver = false;
    for (int32_t bucket = SizeClass(ctx, wanted); bucket >= 1 && !searchOver; --bucket) {
        int32_t prev = 0;
        for (int32_t item = defrag.BucketHead[bucket]; item != 0;
             prev = item, item = defrag.BucketNext[item]) {
            const int32_t record = defrag.Candidates[item].value;
            if (IsFixed(ctx, record)) continue;
            const int64_t first = records[record].FirstCluster;
            // The rest of the bucket lies before the gap.
            if (first <= gapStart) break;
            const int32_t size = RecordClusters(ctx, record);
            if (size > wanted) continue;

            bool passedOver = false;
            if (size == target && best.record != 0) {
                // A file that would fill what the best leaves: prefer
                // one that sits next to free space.
                const bool freeBefore = IsFreeCluster(ctx, first - 1);
                if (best.neighbours >= 1) {
                    exactOnly = false;
                    if (freeBefore) {
                        searchOver = true;
                        break;
                    }
                    passedOver = true;
                } else if (freeBefore || IsFreeCluster(ctx, first + size)) {
                    exactOnly = false;
                    best.neighbours = 1;
                    passedOver = true;
                }
            }
            if (!passedOver && size >= defrag.BestFitSize) {
                const int32_t neighbours = FreeNeighbours(ctx, first, size);
                const int32_t gain =
                    neighbours - best.neighbours - (size == defrag.BestFitSize ? 1 : 0);
                const bool unmoved = first == defrag.Candidates[item].key;
                if (gain >= 0 && (anyFile || size == wanted || unmoved)) {
                    best = Choice{record, item, prev, bucket, neighbours};
                    defrag.BestFitSize = size;
                    target = wanted - size;
                    ++accepted;
                    if ((size == wanted && neighbours == 2) || accepted == kMostAccepted) {
                        searchOver = true;
                        break;
                    }
                }
            }
            if (++examined >= kMostExamined) {
                searchOver = true;
                break;
            }
        }
        if (best.record != 0) break;
    }
    if (best.record == 0) return 0;
    if (exactOnly && defrag.BestFitSize != wanted) return 0;
    RelinkCandidate(ctx, best.bucket, best.item, best.prev, static_cast<int32_t>(gapStart));
    return best.record;
}

int32_t CloseGapCandidate(const EngineContext& ctx, int32_t gap) {
    const ChainState& chains = ctx.chains;
    if (gap >= chains.GapCount) return 0;
    const int32_t length = chains.GapLength[gap];
    const int32_t end = chains.GapStart[gap] + length;
    const int32_t next = NextOpenGap(chains, gap);
    if (next == 0) return 0;
    const int32_t between = chains.GapStart[next] - end;
    if (between <= 0 || between / kCloseSpanFactor > length) return 0;

    const int32_t record = FileAtCluster(ctx, end);
    if (record == 0 || IsFixed(ctx, record) ||
        static_cast<int64_t>(ctx.scan.FileRecords[record].FirstCluster) != end)
        return 0;
    // Every further file to shift costs one; a long next gap allows more.
    int32_t allowance = chains.GapLength[next] / between;
    int32_t total = RecordClusters(ctx, record);
    if (total > length) return 0;
    for (;;) {
        const int32_t following = FileAtCluster(ctx, end + total);
        if (following == 0) return record;
        if (--allowance < 1) return 0;
        total += RecordClusters(ctx, following);
        if (total > length) return 0;
    }
}

int32_t SlideIntoGap(EngineContext& ctx, int32_t gap) {
    const ChainState& chains = ctx.chains;
    if (chains.GapCount < 1 || chains.GapStart[gap] < chains.GapStart[chains.GapCount] / 2) return 0;
    const int32_t length = chains.GapLength[gap];
    const int32_t record = FileAtCluster(ctx, chains.GapStart[gap] + length);
    if (record == 0 || IsFixed(ctx, record)) return 0;
    const int32_t size = RecordClusters(ctx, record);
    if (size > length) return 0;
    if (ChooseFileForGap(ctx, gap, size + length, false, true) == 0) return 0;
    return size >= ctx.defrag.BestFitSize ? record : 0;
}

}  // namespace quillo
