#include "engine/planner_room.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "common/engine_context.h"
#include "engine/planner.h"

namespace quillo {
namespace {

// How deep making room for a file that is in the way may go.
constexpr int32_t kMostNesting = 1;
// Stretches tried per file, cheapest first.
constexpr int32_t kStretchesTried = 8;

struct Range {
    int32_t start;
    int32_t end;  // one past the last cluster
};

bool Overlaps(const std::vector<Range>& ranges, int32_t start, int32_t end) {
    for (const Range& r : ranges)
        if (start < r.end && r.start < end) return true;
    return false;
}

// One stretch of the volume in disk order: free, a contiguous movable file,
// or anything else (a fixed or fragmented file, a cluster kept out).
struct Piece {
    int32_t start;
    int32_t length;
    int32_t record;  // file pieces; 0 for free and fixed ones
    bool free;
};

// A stretch of whole pieces that would hold the file once its files moved.
struct Stretch {
    int32_t first;  // piece indices
    int32_t last;
    int64_t cost;   // clusters of the files in it
};

bool Movable(const EngineContext& ctx, int32_t record) {
    const FileRecord& rec = ctx.scan.FileRecords[record];
    return rec.Fragments == 1 && !IsFixed(ctx, record) && RecordClusters(ctx, record) > 0;
}

// The volume as pieces; `keepOut` ranges count as fixed.
std::vector<Piece> MapPieces(const EngineContext& ctx, const std::vector<Range>& keepOut) {
    std::vector<std::pair<int32_t, int32_t>> files;  // (first cluster, record)
    const int32_t last = LastRecord(ctx);
    for (int32_t r = 0; r <= last; ++r)
        if (Movable(ctx, r)) files.emplace_back(static_cast<int32_t>(ctx.scan.FileRecords[r].FirstCluster), r);
    std::sort(files.begin(), files.end());

    const ChainState& chains = ctx.chains;
    std::vector<Piece> pieces;
    auto addOccupied = [&](int32_t from, int32_t to) {
        auto it = std::lower_bound(files.begin(), files.end(), std::make_pair(from, -1));
        int32_t c = from;
        while (c < to) {
            if (it != files.end() && it->first == c) {
                const int32_t length = RecordClusters(ctx, it->second);
                const bool kept = c + length > to || Overlaps(keepOut, c, c + length);
                pieces.push_back({c, std::min(length, to - c), kept ? 0 : it->second, false});
                c += length;
                ++it;
                continue;
            }
            const int32_t next = it == files.end() ? to : std::min(it->first, to);
            pieces.push_back({c, next - c, 0, false});
            c = next;
        }
    };
    int32_t c = 2;
    for (int32_t g = 1; g <= chains.GapCount; ++g) {
        if (chains.GapLength[g] == 0) continue;
        const int32_t start = chains.GapStart[g];
        const int32_t end = start + chains.GapLength[g];
        if (start > c) addOccupied(c, start);
        pieces.push_back({start, end - start, 0, !Overlaps(keepOut, start, end)});
        c = end;
    }
    if (c <= ctx.geo.MaxCluster) addOccupied(c, ctx.geo.MaxCluster + 1);
    return pieces;
}

// Stretches of free pieces and movable files at least `clusters` long, the
// cheapest first (then nearer the start): the shortest window from each
// first piece.
std::vector<Stretch> FindStretches(const std::vector<Piece>& pieces, int32_t clusters) {
    std::vector<Stretch> found;
    const int32_t count = static_cast<int32_t>(pieces.size());
    for (int32_t i = 0; i < count; ++i) {
        if (!pieces[i].free && pieces[i].record == 0) continue;
        int64_t length = 0;
        int64_t cost = 0;
        for (int32_t j = i; j < count; ++j) {
            const Piece& p = pieces[j];
            if (!p.free && p.record == 0) break;
            length += p.length;
            if (!p.free) cost += p.length;
            if (length >= clusters) {
                found.push_back({i, j, cost});
                break;
            }
        }
    }
    std::stable_sort(found.begin(), found.end(), [](const Stretch& a, const Stretch& b) { return a.cost < b.cost; });
    return found;
}

// The smallest gap that holds `clusters` at its start outside `keepOut`.
int32_t BestGapOutside(const EngineContext& ctx, int32_t clusters, const std::vector<Range>& keepOut) {
    const ChainState& chains = ctx.chains;
    int32_t choice = 0;
    for (int32_t g = 1; g <= chains.GapCount; ++g) {
        const int32_t length = chains.GapLength[g];
        if (length < clusters || (choice != 0 && length >= chains.GapLength[choice])) continue;
        if (Overlaps(keepOut, chains.GapStart[g], chains.GapStart[g] + clusters)) continue;
        choice = g;
    }
    return choice;
}

// A gap outside `keepOut` that holds `clusters`, made by clearing a stretch
// when none is free; 0 when none could be made.
int32_t GapFor(Planner& planner, int32_t clusters, std::vector<Range>& keepOut, int32_t nesting) {
    EngineContext& ctx = planner.ctx;
    int32_t gap = BestGapOutside(ctx, clusters, keepOut);
    if (gap != 0 || nesting < 0) return gap;

    const std::vector<Piece> pieces = MapPieces(ctx, keepOut);
    const std::vector<Stretch> stretches = FindStretches(pieces, clusters);
    int32_t tried = 0;
    for (const Stretch& s : stretches) {
        if (++tried > kStretchesTried || ctx.run.StopRequested) break;
        const int32_t start = pieces[s.first].start;
        const int32_t end = pieces[s.last].start + pieces[s.last].length;
        std::vector<int32_t> files;
        for (int32_t k = s.first; k <= s.last; ++k)
            if (!pieces[k].free) files.push_back(pieces[k].record);
        std::sort(files.begin(), files.end(), [&](int32_t a, int32_t b) {
            return RecordClusters(ctx, a) > RecordClusters(ctx, b);
        });
        keepOut.push_back({start, end});
        bool cleared = true;
        for (int32_t record : files) {
            int32_t to = GapFor(planner, RecordClusters(ctx, record), keepOut, nesting - 1);
            ctx.defrag.MoveCount = 1;
            if (to == 0 || !planner.move(ctx, record, to)) {
                cleared = false;
                break;
            }
        }
        keepOut.pop_back();
        if (!cleared) continue;
        gap = BestGapOutside(ctx, clusters, keepOut);
        if (gap != 0) return gap;
    }
    return 0;
}

}  // namespace

bool MakeRoomForWaitingFiles(Planner& planner) {
    EngineContext& ctx = planner.ctx;
    DefragState& defrag = ctx.defrag;
    std::vector<std::pair<int32_t, int32_t>> waiting;  // (clusters, record)
    for (size_t i = 1; i < defrag.FragList.size(); ++i) {
        const int32_t record = defrag.FragList[i].value;
        if (ctx.scan.FileRecords[record].Fragments > 1 && !IsFixed(ctx, record))
            waiting.emplace_back(RecordClusters(ctx, record), record);
    }
    std::sort(waiting.rbegin(), waiting.rend());
    bool placed = false;
    for (const auto& [clusters, record] : waiting) {
        if (ctx.run.StopRequested) break;
        if (clusters == 0 || ctx.scan.FileRecords[record].Fragments <= 1) continue;
        std::vector<Range> keepOut;
        int32_t gap = GapFor(planner, clusters, keepOut, kMostNesting);
        defrag.MoveCount = 1;
        if (gap != 0 && planner.move(ctx, record, gap)) placed = true;
    }
    return placed;
}

}  // namespace quillo
