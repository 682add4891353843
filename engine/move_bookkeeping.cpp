// The in-memory side of a finished move: the gap list gets the old runs
// back, and the move table learns where the file starts now.
#include <algorithm>

#include "common/engine_context.h"
#include "engine/mover.h"

namespace quillo {
namespace {

// The move table has room for entries 1..1022 (index 0 stays empty, key 0).
constexpr int32_t kMoveTableSize = 1024;
constexpr int32_t kMostMoveCount = 1022;

void StopInternal(EngineContext& ctx, const char* message) {
    ctx.run.StopRequested = true;
    ctx.run.InternalError = true;
    ctx.run.ErrorStop = 1;
    ctx.run.ErrorMessage = message;
    ctx.run.ErrorSource = "RecordMove";
}

}  // namespace

void AddFreeExtent(EngineContext& ctx, int32_t start, int32_t length) {
    if (length <= 0) return;
    ChainState& chains = ctx.chains;
    std::vector<int32_t>& gapStart = chains.GapStart;
    std::vector<int32_t>& gapLength = chains.GapLength;
    const int32_t count = chains.GapCount;
    if (gapStart.size() < static_cast<size_t>(count) + 1) gapStart.resize(static_cast<size_t>(count) + 1, 0);
    if (gapLength.size() < static_cast<size_t>(count) + 1) gapLength.resize(static_cast<size_t>(count) + 1, 0);

    // The first gap that starts at or after the extent.
    const int32_t at = static_cast<int32_t>(
        std::lower_bound(gapStart.begin() + 1, gapStart.begin() + 1 + count, start) - gapStart.begin());

    // The extent replaces the entries first..last (none when first > last):
    // the touching gaps on either side and the empty entries met on the way.
    int32_t mergedStart = start;
    int64_t mergedLength = length;
    int32_t before = at - 1;
    while (before >= 1 && gapLength[before] == 0) --before;
    int32_t first = before + 1;
    if (before >= 1 && gapStart[before] + gapLength[before] == start) {
        first = before;
        mergedStart = gapStart[before];
        mergedLength += gapLength[before];
    }
    int32_t after = at;
    while (after <= count && gapLength[after] == 0) ++after;
    int32_t last = after - 1;
    if (after <= count && gapStart[after] == start + length) {
        last = after;
        mergedLength += gapLength[after];
    }

    const int32_t replaced = last - first + 1;
    const int32_t newCount = count - replaced + 1;
    if (static_cast<size_t>(newCount) + 1 > gapStart.size()) {
        const size_t room = static_cast<size_t>(count) + count / 5 + 100 + 1;
        gapStart.resize(room, 0);
        gapLength.resize(room, 0);
    }
    if (replaced == 0) {
        for (int32_t k = count; k >= first; --k) {
            gapStart[k + 1] = gapStart[k];
            gapLength[k + 1] = gapLength[k];
        }
    } else if (replaced > 1) {
        const int32_t shift = replaced - 1;
        for (int32_t k = last + 1; k <= count; ++k) {
            gapStart[k - shift] = gapStart[k];
            gapLength[k - shift] = gapLength[k];
        }
        for (int32_t k = newCount + 1; k <= count; ++k) gapStart[k] = gapLength[k] = 0;
    }
    gapStart[first] = mergedStart;
    gapLength[first] = static_cast<int32_t>(mergedLength);
    chains.GapCount = newCount;

    if (mergedLength >= ctx.defrag.SmallestUnplaced) ctx.defrag.BigGapAppeared = true;

    chains.GapCursor = std::max(std::min(chains.GapCursor, first), 1);
    while (chains.GapCursor <= chains.GapCount && gapLength[chains.GapCursor] == 0) ++chains.GapCursor;
}

int32_t FindInMoveTable(const EngineContext& ctx, int32_t cluster) {
    const std::vector<SortPair>& table = ctx.defrag.MoveTable;
    const int32_t count = std::min<int32_t>(ctx.defrag.MoveCount, static_cast<int32_t>(table.size()));
    int32_t probe = count / 2;
    if (probe == 0) return 0;
    int32_t low = 0;
    int32_t high = count;
    for (int32_t previous = -1; probe != previous;) {
        previous = probe;
        const int32_t key = table[probe].key;
        if (cluster == key) return probe;
        if (cluster <= key) high = probe; else low = probe;
        probe = (low + high) / 2;
    }
    return probe;
}

void RecordMove(EngineContext& ctx, int32_t record, int32_t oldFirstCluster) {
    DefragState& defrag = ctx.defrag;
    std::vector<SortPair>& table = defrag.MoveTable;
    if (table.size() < static_cast<size_t>(kMoveTableSize)) table.resize(kMoveTableSize);
    table[0] = SortPair{};
    defrag.MoveCount = std::clamp(defrag.MoveCount, 1, kMostMoveCount + 1);
    const int32_t newFirst = static_cast<int32_t>(ctx.scan.FileRecords[record].FirstCluster);
    if (newFirst == oldFirstCluster) return;

    // Where the file was in the table, if it was there.
    int32_t i = FindInMoveTable(ctx, oldFirstCluster);
    if (table[i].key != oldFirstCluster) i = 0;

    // Where its new first cluster goes.
    int32_t j = FindInMoveTable(ctx, newFirst);
    if (j == 0) {
        j = table[defrag.MoveCount - 1].key < newFirst ? defrag.MoveCount : 1;
    }
    if (j < defrag.MoveCount) {
        if (table[j].key == newFirst) {
            StopInternal(ctx, "Xlinked MoveT1");
            return;
        }
        if (table[j].key < newFirst) ++j;
    }

    if (i == 0) {
        if (defrag.MoveCount > kMostMoveCount) {
            StopInternal(ctx, "MovedT_Ovfl");
            return;
        }
        i = defrag.MoveCount;
        ++defrag.MoveCount;
    } else if (table[i].value != record) {
        StopInternal(ctx, "Xlinked MoveT2");
        return;
    }

    if (j < i) {
        for (int32_t k = i; k > j; --k) table[k] = table[k - 1];
    } else if (j > i) {
        --j;
        for (int32_t k = i; k < j; ++k) table[k] = table[k + 1];
    }
    table[j] = SortPair{newFirst, record};
}

}  // namespace quillo
