#include "analysis/chains.h"

#include <algorithm>
#include <type_traits>

#include "analysis/cell_map.h"
#include "analysis/size_classes.h"
#include "common/engine_context.h"
#include "common/stop.h"
#include "disk/fat_codec.h"

namespace quillo {
namespace {

// Masked values from here up are not links: reserved, bad, end of chain.
constexpr uint32_t kFatReservedFirst = 0x0FFFFFF0;

// Beyond this many runs a run is stopped; the walk itself goes on.
constexpr int32_t kMostRunsAllowed = 32000;
// Fragmented gives up on a chain with more fragments than this.
constexpr int32_t kMostFragmentsCounted = 32760;
// Room the run tables gain whenever a run would not fit.
constexpr size_t kRunTableStep = 100;
// Initial room of the gap table, and its largest growth step.
constexpr int32_t kGapTableStep = 500;

constexpr char kBadCluster[] = "Bad cluster #";

uint32_t MaxClusterOf(const EngineContext& ctx) {
    return ctx.geo.MaxCluster > 0 ? static_cast<uint32_t>(ctx.geo.MaxCluster) : 0;
}

// A cluster a chain may hold: 2..MaxCluster. Entries 0 and 1 of the table
// are reserved, so a link to 1 is as bad as one past the volume.
bool IsDataCluster(uint32_t c, uint32_t maxCluster) { return c >= 2 && c <= maxCluster; }

// The masked entry of cluster c. A cluster the table does not hold reads as
// free, so a walk that gets there ends as a broken chain.
uint32_t MaskedEntry(const FatBuffers& fat, uint32_t c) {
    return c < fat.FatTable.size() ? (fat.FatTable[c] & kFatMask) : 0;
}

void CutRuns(RunList& runs, int32_t k) {
    const size_t size = static_cast<size_t>(k) + 1;
    if (runs.RunStart.size() > size) runs.RunStart.resize(size);
    if (runs.RunLength.size() > size) runs.RunLength.resize(size);
}

// Stops the run without marking it structural: the chain is sound, only too
// fragmented for the run to go on.
void StopForTooManyRuns(EngineContext& ctx) {
    ctx.run.ErrorMessage = "Fragments > 32000";
    ctx.run.ErrorStop = 1;
    ctx.run.StopRequested = true;
}

void StopWithBadCluster(EngineContext& ctx, const char* source) {
    ctx.run.ErrorSource = source;
    StopWithError(ctx, kBadCluster);
}

}  // namespace

int32_t FAT_Frag(EngineContext& ctx, uint32_t first, RunList& runs) {
    runs.RunStart.assign(2, 0);
    runs.RunLength.assign(2, 0);
    if (first == 0) return 0;

    const uint32_t maxCluster = MaxClusterOf(ctx);
    runs.RunStart[1] = static_cast<int32_t>(first);
    int32_t k = 1;
    int32_t total = 0;
    uint32_t c = first;
    // A chain never holds more clusters than the volume; one that seems to
    // is a cycle.
    uint32_t steps = 0;
    bool sound = IsDataCluster(first, maxCluster);
    while (sound) {
        if (++steps > maxCluster) break;
        const uint32_t v = MaskedEntry(ctx.fat, c);
        if (v >= kFatReservedFirst) {
            runs.RunLength[k] = static_cast<int32_t>(c + 1) - runs.RunStart[k];
            total += runs.RunLength[k];
            CutRuns(runs, k);
            return total;
        }
        if (v == 0) break;
        if (v != c + 1) {
            runs.RunLength[k] = static_cast<int32_t>(c + 1) - runs.RunStart[k];
            total += runs.RunLength[k];
            ++k;
            if (static_cast<size_t>(k) >= runs.RunStart.size()) {
                runs.RunStart.resize(static_cast<size_t>(k) + kRunTableStep + 1, 0);
                runs.RunLength.resize(static_cast<size_t>(k) + kRunTableStep + 1, 0);
            }
            runs.RunStart[k] = static_cast<int32_t>(v);
            if (k == kMostRunsAllowed + 1) StopForTooManyRuns(ctx);
        }
        c = v;
        sound = IsDataCluster(c, maxCluster);
    }
    StopWithBadCluster(ctx, "FAT_Frag");
    CutRuns(runs, k);
    return 0;
}

uint8_t Fragmented(EngineContext& ctx, uint32_t first, int32_t& count) {
    count = 0;
    if (first == 0) return 0;
    const uint32_t maxCluster = MaxClusterOf(ctx);
    int32_t fragments = 1;
    uint32_t c = first;
    while (IsDataCluster(c, maxCluster) && static_cast<uint32_t>(count) < maxCluster) {
        ++count;
        const uint32_t v = MaskedEntry(ctx.fat, c);
        if (v != c + 1) {
            if (v == 0) break;
            if (v >= kFatEndOfChain) return static_cast<uint8_t>(std::min(fragments, 255));
            if (++fragments > kMostFragmentsCounted) break;
        }
        c = v;
    }
    StopWithBadCluster(ctx, "Fragmented");
    return 0;
}

void MarkChain(EngineContext& ctx, uint32_t first, int category) {
    if (first == 0) return;
    const uint32_t maxCluster = MaxClusterOf(ctx);
    uint32_t c = first;
    for (uint32_t steps = 0; steps < maxCluster; ++steps) {
        if (!IsDataCluster(c, maxCluster)) break;
        SetCellCategory(ctx, static_cast<int32_t>(c), category);
        const uint32_t v = MaskedEntry(ctx.fat, c);
        if (v >= kFatEndOfChain) return;
        if (v == 0) break;
        c = v;
    }
    StopWithBadCluster(ctx, "MarkChain");
}

void CheckCrossLinks(EngineContext& ctx) {
    std::vector<uint8_t>& seen = ctx.chains.SuccessorSeen;
    const std::vector<uint32_t>& table = ctx.fat.FatTable;
    const uint32_t maxCluster = MaxClusterOf(ctx);
    seen.assign(static_cast<size_t>(maxCluster) + 1, 0);
    // Clusters the table does not hold read as free and link nowhere.
    const uint32_t end = static_cast<uint32_t>(
        std::min<size_t>(table.size(), static_cast<size_t>(maxCluster) + 1));
    for (uint32_t c = 2; c < end; ++c) {
        const uint32_t v = table[c] & kFatMask;
        if (v == 0 || v >= kFatReservedFirst) continue;
        // A link into a cluster the table does not hold would lead a walk
        // off the table: as bad as a link past the volume.
        if (!IsDataCluster(v, maxCluster) || v >= table.size()) {
            StopWithError(ctx, kBadCluster);
            return;
        }
        if (seen[v] != 0) {
            StopWithError(ctx, "Crosslinked files");
            return;
        }
        seen[v] = 1;
    }
}

int32_t ScanChains(EngineContext& ctx) {
    ChainState& chains = ctx.chains;
    ctx.view.RedrawLegend();
    ctx.view.RedrawGauge();

    if (chains.SwapFirstCluster != 0) MarkFixedChain(ctx, chains.SwapFirstCluster);
    chains.Fat32RootCluster = ctx.geo.IsFat32 ? ctx.geo.RootCluster : 0;
    if (ctx.geo.IsFat32) MarkFixedChain(ctx, chains.Fat32RootCluster);

    constexpr int kLastSizeClass =
        static_cast<int>(std::extent_v<decltype(ScanState::SizeHistogram)>) - 1;
    const uint32_t maxCluster = MaxClusterOf(ctx);
    const std::vector<uint8_t>& seen = chains.SuccessorSeen;
    RunList runs;
    int32_t count = 0;
    for (uint32_t c = 2; c <= maxCluster; ++c) {
        if (c < seen.size() && seen[c] != 0) continue;  // not a head
        const uint32_t v = MaskedEntry(ctx.fat, c);
        if (v == 0) continue;
        if (v >= kFatReservedFirst && v < kFatEndOfChain) {
            // A bad or reserved cluster nobody links to: taken, but no file.
            ++chains.AllocatedClusters;
            ++chains.OwnedClusters;
            continue;
        }
        ++count;
        if ((count & 2047) == 0) {
            ctx.view.RedrawGauge();
            ctx.view.Yield();
        }
        const int32_t n = FAT_Frag(ctx, c, runs);
        if (ctx.run.StopRequested) break;
        PaintRuns(ctx, runs.RunLength, runs.RunStart, runs.Count(), kCellFiles);
        chains.AllocatedClusters += n;
        if (runs.Count() > 1 && c != chains.SwapFirstCluster && c != chains.Fat32RootCluster) {
            chains.FragmentedClusters += n;
            ++chains.FragmentedFiles;
        }
        if (!ctx.run.ScanFiles) {
            const int64_t bytes = static_cast<int64_t>(n) * ctx.geo.BytesPerCluster;
            ++ctx.scan.SizeHistogram[SizeClass(bytes, kLastSizeClass)];
        }
        // The rest of the first run cannot hold a head.
        if (runs.RunLength[1] > 1) c += static_cast<uint32_t>(runs.RunLength[1]) - 1;
    }

    ctx.view.RedrawGauge();
    if (!ctx.run.ScanFiles) ctx.view.RedrawSizeChart("Allocation chains");
    return count;
}

void BuildGapTable(EngineContext& ctx, bool fresh) {
    ChainState& chains = ctx.chains;
    const std::vector<uint32_t>& table = ctx.fat.FatTable;
    int64_t upper = fresh ? kGapTableStep
                          : static_cast<int64_t>(std::min(chains.GapStart.size(),
                                                          chains.GapLength.size())) - 1;
    if (upper < 1) upper = kGapTableStep;
    chains.GapStart.assign(static_cast<size_t>(upper) + 1, 0);
    chains.GapLength.assign(static_cast<size_t>(upper) + 1, 0);
    const auto growBy = [&](int64_t more) {
        upper += more;
        chains.GapStart.resize(static_cast<size_t>(upper) + 1, 0);
        chains.GapLength.resize(static_cast<size_t>(upper) + 1, 0);
    };

    const uint32_t maxCluster = MaxClusterOf(ctx);
    int32_t k = 0;
    bool open = false;
    uint32_t start = 0;
    for (uint32_t c = 2; c <= maxCluster; ++c) {
        // A cluster the table does not hold is never offered as free space.
        const bool isFree = c < table.size() && (table[c] & kFatMask) == 0;
        if (isFree) {
            if (!open) {
                open = true;
                start = c;
            }
            continue;
        }
        if (!open) continue;
        open = false;
        ++k;
        chains.GapLength[k] = static_cast<int32_t>(c - start);
        chains.GapStart[k] = static_cast<int32_t>(start);
        if (k >= upper && c < maxCluster) growBy(std::min<int64_t>(maxCluster - c, kGapTableStep));
    }
    if (open) {
        ++k;
        if (k > upper) growBy(1);
        chains.GapLength[k] = static_cast<int32_t>(maxCluster - start + 1);
        chains.GapStart[k] = static_cast<int32_t>(start);
    }
    chains.GapCount = k;
    chains.GapCursor = 1;
}

}  // namespace quillo
