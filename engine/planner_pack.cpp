#include "engine/planner_pack.h"

#include <random>
#include <utility>

#include "common/engine_context.h"
#include "engine/planner.h"
#include "engine/planner_choice.h"
#include "engine/planner_defrag.h"

namespace quillo {
namespace {

// Past this many candidates the shell sort is too slow.
constexpr int32_t kMostForShellSort = 100;
// Gaps shorter than this are filled by one exact file where possible.
constexpr int32_t kSmallGap = 65;
// A packing round ends here so that the move table stays short.
constexpr int32_t kMovesPerRound = 255;
// FillGap moves at most this many files into one gap.
constexpr int32_t kMostFillMoves = 16;

// Sorts table[low..high]; recursion only on the shorter side.
void QuickSortRange(std::vector<SortPair>& table, int32_t low, int32_t high, std::minstd_rand& random) {
    while (low < high) {
        std::uniform_int_distribution<int32_t> pick(low, high);
        std::swap(table[pick(random)], table[high]);
        const int32_t pivot = table[high].key;
        // Keys below the pivot to its left, the others to its right.
        int32_t store = low;
        for (int32_t i = low; i < high; ++i)
            if (table[i].key < pivot) std::swap(table[i], table[store++]);
        std::swap(table[store], table[high]);
        if (store - low < high - store) {
            QuickSortRange(table, low, store - 1, random);
            low = store + 1;
        } else {
            QuickSortRange(table, store + 1, high, random);
            high = store - 1;
        }
    }
}

// What one step of the walk over the gaps does next.
enum class Step { StartOver, NextGap, Move };

// A file for gap `g`, or room made for one by moves made here (then the
// walk starts over at GapCursor, which `g` is set to).
Step FindFileForGap(Planner& planner, int32_t& g, int32_t& record) {
    EngineContext& ctx = planner.ctx;
    const int32_t length = ctx.chains.GapLength[g];
    record = 0;
    if (length < kSmallGap) {
        record = ChooseFileForGap(ctx, g, length, true, true);
        if (record == 0) record = CloseGapCandidate(ctx, g);
        if (record == 0) record = SlideIntoGap(ctx, g);
        if (record == 0 && MoveBlockerBack(planner, g) != 0) return Step::StartOver;
    } else {
        record = CloseGapCandidate(ctx, g);
    }
    if (record != 0) return Step::Move;

    if (FillGap(planner, g, 1)) {
        g = ctx.chains.GapCursor;
        return Step::StartOver;
    }
    record = SlideIntoGap(ctx, g);
    if (record != 0) return Step::Move;
    if (!FillGap(planner, g, 2) && MoveBlockerBack(planner, g) == 0) return Step::NextGap;
    g = ctx.chains.GapCursor;
    return Step::StartOver;
}

}  // namespace

void QuickSortPairs(std::vector<SortPair>& table, int32_t n) {
    // A fixed seed keeps runs repeatable; the pivot only needs to be unrelated
    // to the order the records come in.
    std::minstd_rand random(20240607u);
    QuickSortRange(table, 1, n, random);
}

void BucketCandidates(EngineContext& ctx) {
    DefragState& defrag = ctx.defrag;
    const int32_t count = static_cast<int32_t>(defrag.Candidates.size()) - 1;
    for (int32_t& head : defrag.BucketHead) head = 0;
    defrag.BucketNext.assign(defrag.Candidates.size(), 0);
    // Pushed in disk order, so each bucket starts with the file nearest the end.
    for (int32_t item = 1; item <= count; ++item) {
        const int32_t bucket = SizeClass(ctx, RecordClusters(ctx, defrag.Candidates[item].value));
        defrag.BucketNext[item] = defrag.BucketHead[bucket];
        defrag.BucketHead[bucket] = item;
    }
}

int32_t CollectCandidates(EngineContext& ctx) {
    DefragState& defrag = ctx.defrag;
    const ChainState& chains = ctx.chains;
    const bool haveGap = chains.GapCursor >= 1 && chains.GapCursor <= chains.GapCount;
    defrag.PackFloor = haveGap ? chains.GapStart[chains.GapCursor] : ctx.geo.MaxCluster + 1;

    defrag.Candidates.assign(1, SortPair{});
    const int32_t last = LastRecord(ctx);
    for (int32_t r = 0; r <= last; ++r) {
        const FileRecord& rec = ctx.scan.FileRecords[r];
        if (IsFixed(ctx, r) || static_cast<int64_t>(rec.Size) > ctx.geo.HugePackLimit) continue;
        if (rec.Fragments > 1 || static_cast<int64_t>(rec.FirstCluster) > defrag.PackFloor)
            defrag.Candidates.push_back(SortPair{static_cast<int32_t>(rec.FirstCluster), r});
    }
    const int32_t count = static_cast<int32_t>(defrag.Candidates.size()) - 1;
    if (count > kMostForShellSort)
        QuickSortPairs(defrag.Candidates, count);
    else if (count > 1)
        SortPairs(defrag.Candidates, count, &ctx.view);
    return count;
}

void PackPass(Planner& planner) {
    if (CollectCandidates(planner.ctx) == 0) {
        planner.ctx.view.Yield();
        return;
    }
    PackFiles(planner);
}

void PackFiles(Planner& planner) {
    EngineContext& ctx = planner.ctx;
    DefragState& defrag = ctx.defrag;
    const ChainState& chains = ctx.chains;
    defrag.MoveCount = 1;
    BucketCandidates(ctx);

    // A move that fails without stopping the run or fixing the file is tried
    // once more (the gap list may have been rebuilt); a second failure of the
    // same file at the same place gives up on the gap instead of spinning.
    int32_t failedRecord = 0;
    int32_t failedAt = -1;
    int32_t g = chains.GapCursor;
    while (g < chains.GapCount) {
        if (chains.GapLength[g] == 0) {
            ++g;
            continue;
        }
        if (ctx.run.StopRequested || chains.GapCursor > chains.GapCount) return;
        if (chains.GapStart[chains.GapCursor] < defrag.PackFloor || defrag.MoveCount >= kMovesPerRound)
            return;
        // A file placed now, in a gap the packing has just grown, would stand
        // in the packing's way and be moved back and forth; it waits for the
        // packing to settle instead.
        if (defrag.BigGapAppeared) {
            defrag.BigGapAppeared = false;
            defrag.DefragDeferred = true;
        }
        if (defrag.MovedClusters >= defrag.NextRedrawAt) RepaintGaps(ctx);

        int32_t record = 0;
        const Step step = FindFileForGap(planner, g, record);
        if (step == Step::StartOver) continue;
        if (step == Step::NextGap) {
            ++g;
            continue;
        }
        const int32_t gapStart = chains.GapStart[g];
        int32_t target = g;
        if (planner.move(ctx, record, target)) {
            g = target;
            failedRecord = 0;
        } else if (!IsFixed(ctx, record) && !ctx.run.StopRequested) {
            if (record == failedRecord && gapStart == failedAt) {
                ++g;
                failedRecord = 0;
            } else {
                failedRecord = record;
                failedAt = gapStart;
            }
        }
    }
}

bool FillGap(Planner& planner, int32_t gap, int32_t divisor) {
    EngineContext& ctx = planner.ctx;
    const DefragState& defrag = ctx.defrag;
    bool moved = false;
    bool anyFile = false;
    int32_t moves = 0;
    while (!ctx.run.StopRequested) {
        const int32_t record = ChooseFileForGap(ctx, gap, ctx.chains.GapLength[gap] / divisor, false, anyFile);
        if (record == 0) {
            if (anyFile || divisor == 1) break;
            anyFile = true;
            continue;
        }
        if (!planner.move(ctx, record, gap)) {
            if (!IsFixed(ctx, record)) break;
            continue;  // busy now: choose another
        }
        moved = true;
        if (defrag.BigGapAppeared) break;
        if (++moves > kMostFillMoves || defrag.MoveCount >= kMovesPerRound) break;
    }
    ctx.view.Yield();
    return moved;
}

int32_t MoveBlockerBack(Planner& planner, int32_t& gap) {
    EngineContext& ctx = planner.ctx;
    const ChainState& chains = ctx.chains;
    if (gap >= chains.GapCount || chains.GapLength[gap] == 0) return 0;
    const int32_t record = FileAtCluster(ctx, chains.GapStart[gap] + chains.GapLength[gap]);
    if (record == 0 || IsFixed(ctx, record)) return 0;
    int32_t destination = FindGapFrom(ctx, gap + 1, RecordClusters(ctx, record));
    if (destination == 0 || !planner.move(ctx, record, destination)) return 0;
    gap = chains.GapCursor;
    RebucketFile(ctx, record);
    return record;
}

int32_t FindGapFrom(const EngineContext& ctx, int32_t fromGap, int32_t clusters) {
    const ChainState& chains = ctx.chains;
    int32_t found = 0;
    for (int32_t g = fromGap; g <= chains.GapCount; ++g) {
        if (chains.GapLength[g] < clusters) continue;
        found = g;
        if (chains.GapLength[g] == clusters) break;
    }
    return found;
}

}  // namespace quillo
