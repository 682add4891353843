#include "cli/volume_figures.h"

#include <algorithm>

#include "cli/json_writer.h"
#include "common/clock.h"
#include "common/console_view.h"
#include "common/engine_context.h"
#include "disk/drive_menu.h"
#include "engine/run_driver.h"

namespace quillo::cli {

VolumeFigures FiguresOf(const EngineContext& ctx) {
    const ChainState& chains = ctx.chains;
    const int64_t spc = ctx.geo.SectorsPerCluster;
    VolumeFigures f;
    f.files = ctx.scan.FileCount;
    f.folders = ctx.scan.FolderCount;
    f.chains = chains.ChainCount;
    f.fragmentedFiles = chains.FragmentedFiles;
    f.fragmentedClusters = chains.FragmentedClusters;
    f.gaps = chains.GapCount;
    f.volumeSectors = ctx.geo.VolumeSectors;
    f.freeSectors = (int64_t{ctx.geo.TotalClusters} - chains.AllocatedClusters) * spc;
    f.lostSectors = std::max<int64_t>(0, int64_t{chains.AllocatedClusters} - chains.OwnedClusters) * spc;
    f.erasedEntries = ctx.scan.ErasedEntries;
    return f;
}

void AddFigures(JsonObject& o, const VolumeFigures& f) {
    o.Add("files", f.files)
        .Add("folders", f.folders)
        .Add("chains", f.chains)
        .Add("fragmented_files", f.fragmentedFiles)
        .Add("fragmented_clusters", f.fragmentedClusters)
        .Add("gaps", f.gaps)
        .Add("volume_sectors", f.volumeSectors)
        .Add("free_sectors", f.freeSectors)
        .Add("lost_sectors", f.lostSectors)
        .Add("erased_entries", f.erasedEntries);
}

std::optional<VolumeFigures> CheckFigures(DeviceProvider& drives, const Options& options, char letter,
                                          const volatile std::sig_atomic_t* stopFlag) {
    ConsoleView silent(nullptr, nullptr);
    SystemClock clock;
    EngineContext ctx(silent, clock, drives);
    silent.WatchStopFlag(stopFlag, &ctx.run);
    ctx.options = options;
    ctx.run.RunMode = -1;
    ctx.run.ScanFiles = true;
    ctx.run.DriveMenuIndex = MenuIndexForDriveLetter(letter);
    ctx.run.DriveString = std::string(1, letter) + ":";
    ctx.run.RootPath = ctx.run.DriveString + "\\";
    RunDrive(ctx);
    if (ctx.run.ErrorStop != 0 || ctx.run.StopRequested) return std::nullopt;
    return FiguresOf(ctx);
}

}  // namespace quillo::cli
