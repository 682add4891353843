#include "engine/planner_defrag.h"

#include <string>

#include "common/engine_context.h"
#include "common/sort_pairs.h"
#include "engine/planner.h"

namespace quillo {
namespace {

constexpr int32_t kNoLimit = 0x7FFFFFFF;
// The first round takes files of this many sectors and more.
constexpr int32_t kFirstThresholdSectors = 16384;
// After this many halvings the last round takes every size at once.
constexpr int32_t kHalvingRounds = 8;
// The move table is nearly full here: a packing round must start afresh.
constexpr int32_t kMoveTableLimit = 1023;

enum class RoundEnd { Done, Return };

// One round over FragList for sizes from `threshold` up.
RoundEnd DefragRound(Planner& planner, bool packAlso, int32_t threshold) {
    EngineContext& ctx = planner.ctx;
    DefragState& defrag = ctx.defrag;
    int32_t ceiling = kNoLimit;
    const int32_t count = static_cast<int32_t>(defrag.FragList.size()) - 1;
    for (int32_t i = 1; i <= count; ++i) {
        const int32_t record = defrag.FragList[i].value;
        const FileRecord& rec = ctx.scan.FileRecords[record];
        if (rec.Fragments <= 1 || IsFixed(ctx, record)) continue;
        const int32_t n = ClusterCountOf(ctx, rec.Size);
        if (n < threshold || n >= ceiling) continue;

        if (!DefragOne(planner, record, n)) {
            // Larger files will not fit either until a move frees space.
            defrag.SmallestUnplaced = n;
            ceiling = n;
            if (threshold > 1) return RoundEnd::Done;
            continue;
        }
        if (packAlso) {
            const FileRecord& moved = ctx.scan.FileRecords[record];
            if (moved.Fragments == 1 && moved.Size <= static_cast<uint32_t>(ctx.geo.HugePackLimit))
                RebucketFile(ctx, record);
        } else {
            defrag.MoveCount = 1;
        }
        if (ctx.run.StopRequested) return RoundEnd::Return;
        ctx.view.SetStatusValue(1, " " + std::to_string(defrag.PendingFragmentedCount));
        if (defrag.MoveCount == kMoveTableLimit) {
            if (defrag.PendingFragmentedCount != 0) defrag.BigGapAppeared = true;
            return RoundEnd::Return;
        }
        if (defrag.MovedClusters >= defrag.NextRedrawAt) RepaintGapsAndStatistics(ctx);
        ceiling = kNoLimit;
    }
    return RoundEnd::Done;
}

}  // namespace

bool BuildFragList(EngineContext& ctx) {
    DefragState& defrag = ctx.defrag;
    defrag.FragList.assign(1, SortPair{});
    const int32_t last = LastRecord(ctx);
    for (int32_t r = 0; r <= last; ++r) {
        const FileRecord& rec = ctx.scan.FileRecords[r];
        if (rec.Fragments >= 2 && !IsFixed(ctx, r))
            defrag.FragList.push_back(SortPair{static_cast<int32_t>(rec.FirstCluster), r});
    }
    const int32_t count = static_cast<int32_t>(defrag.FragList.size()) - 1;
    if (count == 0) return false;
    ctx.view.Yield();
    if (ctx.run.StopRequested) return false;
    SortPairs(defrag.FragList, count, &ctx.view);
    return true;
}

void DefragFragmentedFiles(Planner& planner, bool packAlso) {
    EngineContext& ctx = planner.ctx;
    DefragState& defrag = ctx.defrag;
    defrag.BigGapAppeared = false;
    defrag.SmallestUnplaced = kNoLimit;
    const int32_t spc = ctx.geo.SectorsPerCluster > 0 ? ctx.geo.SectorsPerCluster : 1;
    int32_t threshold = kFirstThresholdSectors / spc;
    if (threshold < 1) threshold = 1;
    int32_t rounds = 0;
    for (;;) {
        if (DefragRound(planner, packAlso, threshold) == RoundEnd::Return) return;
        ctx.view.Yield();
        if (ctx.run.StopRequested) return;
        threshold /= 2;
        if (threshold == 0) break;
        if (++rounds == kHalvingRounds) threshold = 1;
    }
    ctx.view.RedrawGauge();
    if (defrag.PendingFragmentedCount == 0) defrag.SmallestUnplaced = kNoLimit;
}

bool DefragOne(Planner& planner, int32_t record, int32_t clusters) {
    int32_t start = 0;
    int32_t gap = FindBestFitGap(planner.ctx, planner.ctx.chains.GapCursor, clusters, start);
    if (gap == 0) return false;
    planner.move(planner.ctx, record, gap);
    return true;
}

int32_t FindBestFitGap(const EngineContext& ctx, int32_t fromGap, int32_t clusters, int32_t& start) {
    const ChainState& chains = ctx.chains;
    if (fromGap > chains.GapCount) return 0;
    int32_t best = ctx.geo.TotalClusters;
    int32_t choice = 0;
    for (int32_t g = fromGap < 1 ? 1 : fromGap; g <= chains.GapCount; ++g) {
        const int32_t length = chains.GapLength[g];
        if (length < clusters || length >= best) continue;
        choice = g;
        best = length;
        if (length == clusters) break;
    }
    if (choice != 0) start = chains.GapStart[choice];
    return choice;
}

}  // namespace quillo
