#include "analysis/statistics.h"

#include <algorithm>
#include <cctype>

#include "analysis/cell_map.h"
#include "analysis/chains.h"
#include "analysis/directory_scan.h"
#include "common/engine_context.h"
#include "common/log.h"

namespace quillo {
namespace {

// Initial room of the scan's growing tables; the scan grows them as needed.
constexpr int32_t kFoldersWithErasedRoom = 200;  // indices 1..200
constexpr int32_t kFolderTableRoom = 1000;       // indices 0..1000

// Counters and tables that every analysis starts from scratch. The run
// driver resets the rest of the pass state.
void ResetAnalysisState(EngineContext& ctx) {
    ScanState& scan = ctx.scan;
    ChainState& chains = ctx.chains;
    scan.FolderCount = 0;
    chains.FragmentedClusters = 0;
    chains.FragmentedFiles = 0;
    scan.FileCount = 0;
    scan.FoldersWithErased.assign(kFoldersWithErasedRoom + 1, 0);
    scan.FoldersWithErasedCount = 0;
    scan.RecordCount = 0;
    scan.FolderTableTop = 0;

    std::string root = ctx.run.DriveString;
    std::transform(root.begin(), root.end(), root.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    scan.FolderTable.assign(kFolderTableRoom + 1, FolderEntry{});
    scan.FolderTable[0] = FolderEntry{-1, root};

    // A first guess at the number of records: the chain count of the
    // previous pass (0 on the first).
    const size_t records = static_cast<size_t>(std::max<int32_t>(chains.ChainCount, 0)) + 3;
    scan.FileRecords.assign(records, FileRecord{});
    scan.RecordFolder.assign(records, 0);
    scan.RecordFixed.assign(records, 0);
}

// Without a gap table a map-only look still shows every unpainted cell up to
// the last cluster as Empty.
void PaintUnpaintedCellsEmpty(EngineContext& ctx) {
    ChainState& chains = ctx.chains;
    const int32_t perCell = std::max<int32_t>(chains.ClustersPerCell, 1);
    const int64_t lastCell = std::min<int64_t>(ctx.geo.MaxCluster / perCell,
                                               static_cast<int64_t>(chains.MapCells.size()) - 1);
    for (int32_t cell = 0; cell <= lastCell; ++cell) {
        if (chains.MapCells[cell] != kCellNone) continue;
        chains.MapCells[cell] = kCellEmpty;
        ctx.view.PaintMapCell(cell, kCellEmpty);
    }
}

// Clusters to 512-byte sectors, held at the largest count the size lines can
// show rather than wrapping on a volume of more than 2^31 sectors.
int32_t ClustersToSectors(const EngineContext& ctx, int64_t clusters) {
    const int64_t sectors = clusters * ctx.geo.SectorsPerCluster;
    return static_cast<int32_t>(std::clamp<int64_t>(sectors, INT32_MIN, INT32_MAX));
}

void AddSizeLineIfAny(EngineContext& ctx, const std::string& label, int32_t sectors) {
    if (sectors != 0) AddSizeLine(ctx, label, sectors);
}

}  // namespace

void AnalyseVolume(EngineContext& ctx) {
    ctx.view.SetStatusPair(1, "Folder:", "");
    ctx.view.SetStatusPair(2, "File:", "");
    ResetAnalysisState(ctx);

    ChainState& chains = ctx.chains;
    chains.ChainCount = ScanChains(ctx);
    if (ctx.run.StopRequested) return;

    if (ctx.run.ScanFiles) {
        BuildGapTable(ctx, true);
        PaintRuns(ctx, chains.GapLength, chains.GapStart, chains.GapCount, kCellEmptyIfUnpainted);
        RedrawGaps(ctx);
        ScanTree(ctx);
        ctx.view.RedrawSizeChart("File distribution");
    } else if (chains.GapCount != 0) {
        // The gap table of the last full analysis of this drive; the drive
        // menu clears it before a look at another drive.
        PaintRuns(ctx, chains.GapLength, chains.GapStart, chains.GapCount, kCellEmptyIfUnpainted);
        RedrawGaps(ctx);
    } else {
        PaintUnpaintedCellsEmpty(ctx);
    }
}

FragGauge ComputeFragGauge(const EngineContext& ctx) {
    FragGauge gauge;
    const int64_t fragmented = ctx.chains.FragmentedClusters;
    const int64_t total = ctx.geo.TotalClusters;
    // Computed wide: fragmented clusters x 100 passes 32 bits on a large
    // FAT32 volume.
    const int64_t percent = total > 0 ? fragmented * 100 / total : 0;
    gauge.innerBarShown = fragmented != 0 && total > 0;
    if (gauge.innerBarShown) {
        gauge.barNumerator = fragmented;
        gauge.barDenominator = total;
    }
    gauge.caption = (percent < 10 ? "  " : "") + std::to_string(percent) + "% frag.";
    return gauge;
}

void WriteSummary(EngineContext& ctx) {
    const ChainState& chains = ctx.chains;
    const ScanState& scan = ctx.scan;
    const bool fullAnalysis = ctx.run.ScanFiles;
    const bool checkRun = ctx.run.RunMode < 0;

    if (fullAnalysis) {
        AddLogLine(ctx, "Files = " + std::to_string(scan.FileCount) +
                            ", Folders = " + std::to_string(scan.FolderCount));
    } else {
        AddLogLine(ctx, "Files and folders = " + std::to_string(chains.ChainCount));
    }
    const int64_t total = ctx.geo.TotalClusters;
    AddSizeLine(ctx, "Volume size = ", ClustersToSectors(ctx, total));
    AddSizeLine(ctx, "Free space = ", ClustersToSectors(ctx, total - chains.AllocatedClusters));
    if (!fullAnalysis) return;

    if (checkRun) {
        AddSizeLineIfAny(ctx, "Cookies = ", scan.CookiesSectors);
        AddSizeLineIfAny(ctx, "Downloaded files = ", scan.DownloadedSectors);
        AddSizeLineIfAny(ctx, "Internet temporary = ", scan.InternetTempSectors);
        AddSizeLineIfAny(ctx, "Recycle bin = ", scan.RecycleSectors);
        AddSizeLineIfAny(ctx, "Temp files = ", scan.TempFilesSectors);
        // Reported only when the swap file lies on another volume.
        if (scan.ErasedEntries != 0 && chains.SwapFirstCluster == 0) {
            AddLogLine(ctx, "Erased Files = " + std::to_string(scan.ErasedEntries));
        }
    }
    if (chains.OwnedClusters < chains.AllocatedClusters) {
        AddSizeLine(ctx, "Lost space = ",
                    ClustersToSectors(ctx, static_cast<int64_t>(chains.AllocatedClusters) -
                                               chains.OwnedClusters));
    }
    if (checkRun) {
        AddLogLine(ctx, "Fragmented files = " + std::to_string(chains.FragmentedFiles));
        // One fewer than the gap table holds; a count that is not negative
        // is written after a blank, so a full volume reads "Gaps =-1".
        const int32_t gaps = chains.GapCount - 1;
        AddLogLine(ctx, "Gaps =" + std::string(gaps >= 0 ? " " : "") + std::to_string(gaps));
    }
}

}  // namespace quillo
