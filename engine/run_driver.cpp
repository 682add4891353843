#include "engine/run_driver.h"

#include <cctype>
#include <exception>
#include <new>

#include "analysis/chains.h"
#include "analysis/statistics.h"
#include "common/engine_context.h"
#include "common/log.h"
#include "common/stop.h"
#include "disk/dirty_mark.h"
#include "disk/fat_table.h"
#include "disk/volume_device.h"
#include "disk/volume_geometry.h"
#include "disk/volume_lock.h"
#include "engine/defragment.h"
#include "engine/interrupted_run.h"
#include "engine/last_defrag.h"
#include "engine/remaining_fragmented.h"

namespace quillo {
namespace {

constexpr int kOutOfMemory = 7;
constexpr int kOtherRuntimeError = 5;

// A volume still marked as mounted: a Check says so, a Defragment refuses.
constexpr char kDirtyReport[] = "Not cleanly unmounted: check it with fsck.fat before defragmenting";
constexpr char kDirtyRefusal[] = "Not cleanly unmounted: check it with fsck.fat first";

template <typename T>
void ShrinkToOne(std::vector<T>& table) {
    std::vector<T>(1).swap(table);
}

void ResetPass(EngineContext& ctx) {
    RunState& run = ctx.run;
    ScanState& scan = ctx.scan;
    ChainState& chains = ctx.chains;
    scan.CookiesSectors = 0;
    scan.EmptyFiles = 0;
    scan.ErasedEntries = 0;
    // A Stop the user pressed during this pass stays pressed; only a stop
    // left by an earlier pass's error is cleared.
    run.StopRequested = run.UserAbort;
    chains.OwnedClusters = 0;
    chains.FragmentedFiles = 0;
    scan.ItemsScanned = 0;
    run.DefragPhase = false;
    scan.DownloadedSectors = 0;
    scan.InternetTempSectors = 0;
    run.DetectBusy = false;
    ctx.dev.BusyListRefreshed = false;
    scan.RecycleSectors = 0;
    run.MapRepaintPending = false;
    chains.SwapFirstCluster = 0;
    scan.TempFilesSectors = 0;
    chains.AllocatedClusters = 0;
    run.RestartNeeded = false;
    scan.LeftFragmentedCount = 0;
    ctx.defrag.MovedCount = 0;
    ctx.defrag.MovedClusters = 0;
    for (int32_t& count : scan.SizeHistogram) count = 0;
    scan.RecyclePath = run.RootPath + "RECYCLED\\";
}

// The swap file lies on this drive when its path starts with our letter.
bool SwapFileOnDrive(const EngineContext& ctx) {
    const std::string& swap = ctx.dev.SwapFilePath;
    return !swap.empty() && !ctx.run.DriveString.empty() &&
           swap[0] == ctx.run.DriveString[0];
}

void SizeMap(EngineContext& ctx) {
    ChainState& chains = ctx.chains;
    const int32_t cells = chains.CellCount > 0 ? chains.CellCount : 1;
    chains.ClustersPerCell = ctx.geo.TotalClusters / cells + 1;
    chains.MapCells.assign(static_cast<size_t>(ctx.geo.TotalClusters / chains.ClustersPerCell) + 2,
                           kCellNone);
}

// The handler every error exit of a run goes through. `number` 0 stands for
// the driver's own jumps; others for a runtime error with `description`.
void HandleRunError(EngineContext& ctx, int number, const std::string& description,
                    const std::string& source) {
    RunState& run = ctx.run;
    if (run.ErrorSource.empty()) run.ErrorSource = source;
    ReleaseVolume(ctx);
    run.StopRequested = true;
    if (run.ErrorMessage.empty()) run.ErrorMessage = description;
    if (number == 0) {
        if (!description.empty()) ReportError(ctx, "Err=" + description);
        if (!run.ErrorSource.empty()) ReportError(ctx, "Source=" + run.ErrorSource);
        if (run.ErrorStop == 0 && run.ErrorMessage.empty()) run.InternalError = true;
    } else if (number == kOutOfMemory) {
        run.OutOfMemory = true;
    } else {
        run.InternalError = true;
        ReportError(ctx, "Err=" + description);
        if (!run.ErrorSource.empty()) ReportError(ctx, "Source=" + run.ErrorSource);
    }
    run.ErrorStop = 1;
    EndRun(ctx);
}

enum class PassEnd { Done, Restart, Error };

// One pass, steps 2 to 19 of a run. Returns how it ended; Error means the
// error handler still has to run.
PassEnd RunPass(EngineContext& ctx, const DefragmentPhase& defragment) {
    RunState& run = ctx.run;
    run.ErrorSource.clear();
    run.ErrorMessage.clear();
    run.BusyReason.clear();
    run.ErrorStop = 0;
    if (run.UserAbort) {
        EndRun(ctx);
        return PassEnd::Done;
    }
    ResetPass(ctx);

    if (!AcquireVolume(ctx)) {
        run.DriveBusy = true;
        const VolumeDevice* device = ctx.devices.DeviceForDrive(static_cast<char>('A' + ctx.dev.DriveIndex));
        run.BusyReason = device != nullptr ? device->BusyReason() : "";
        EndRun(ctx);
        return PassEnd::Done;
    }
    if (!OpenVolume(ctx)) {
        EndRun(ctx);
        return PassEnd::Done;
    }
    ctx.view.RedrawPie();

    if (!ctx.dev.Level0Held) {
        run.DetectBusy = run.ScanFiles;
        if (!(run.RunMode < 0 && ctx.dev.OthersWritesDenied))
            ctx.view.ShowLabel(ViewLabel::Shared, true);
        if (!EnterWriteLock(ctx, false)) {
            EndRun(ctx);
            return PassEnd::Done;
        }
        run.RestartNeeded = false;  // a change before we read anything does not matter
    }
    ReadFat(ctx);
    if (!ctx.dev.Level0Held) {
        if (SwapFileOnDrive(ctx))
            ctx.chains.SwapClusterCache = ctx.dev.DeviceHandle->GetFirstCluster(ctx.dev.SwapFilePath);
        YieldWriteLock(ctx);
    }
    if (CheckFatHead(ctx)) {
        EndRun(ctx);
        return PassEnd::Done;
    }
    // The half-done changes of a system that had the volume mounted are not
    // ours to move around: a Defragment stops before it reads any further.
    ctx.geo.MarkedDirty = VolumeMarkedDirty(ctx.geo, ctx.fat.FatTable);
    if (ctx.geo.MarkedDirty && run.RunMode >= 0) {
        StopWithError(ctx, kDirtyRefusal);
        return PassEnd::Error;
    }
    if (SwapFileOnDrive(ctx)) ctx.chains.SwapFirstCluster = ctx.chains.SwapClusterCache;

    if (!run.StopRequested) {
        CheckCrossLinks(ctx);
        ctx.view.Yield();
    }
    if (run.StopRequested) {
        if (run.ErrorStop == 0) {
            EndRun(ctx);
            return PassEnd::Done;
        }
        run.StructuralError = true;
        return PassEnd::Error;
    }

    SizeMap(ctx);
    AnalyseVolume(ctx);
    if (run.DriveBusy) return PassEnd::Error;

    if (run.ScanFiles) {
        if (!run.UserAbort) {
            if (ctx.geo.IsFat32) ++ctx.scan.FolderCount;  // the root has no entry
            RecheckLock(ctx, true);
            if (run.RestartNeeded) {
                ReleaseVolume(ctx);
                return PassEnd::Restart;
            }
            if (run.ErrorStop == 0 &&
                ctx.scan.FileCount + ctx.scan.FolderCount - ctx.scan.EmptyFiles >
                    ctx.chains.ChainCount)
                StopWithError(ctx, "Missing chains");
        }
        ctx.view.ShowLabel(ViewLabel::Restarting, false);
    }
    if (run.ErrorStop != 0) return PassEnd::Error;
    WriteSummary(ctx);

    if (run.RunMode < 0) {
        if (run.ScanFiles) {
            ReportInterruptedRun(ctx);
            if (ctx.geo.MarkedDirty) AddLogLine(ctx, kDirtyReport);
        }
        const std::string date = GetLastDefragDate(ctx, run.DriveString);
        if (!date.empty()) AddLogLine(ctx, "Last defrag = " + date);
        EndRun(ctx);
        return PassEnd::Done;
    }
    if (!run.StopRequested) {
        run.DefragPhase = true;
        ctx.view.SetProgressCaption("Defragmenting");
        RepairInterruptedRun(ctx);
    }
    if (!run.StopRequested) {
        if (defragment) defragment(ctx); else Defragment(ctx);
        ctx.view.ShowLabel(ViewLabel::Moving, false);
        ctx.view.ShowLabel(ViewLabel::MovingValue, false);
        ListRemainingFragmented(ctx);
    }
    if (run.ErrorStop != 0) {
        EndRun(ctx);
        return PassEnd::Done;
    }
    if (!run.RestartNeeded) {
        // Written after every run without an error stop, a user stop included.
        SetLastDefragDate(ctx, run.DriveString);
        EndRun(ctx);
        return PassEnd::Done;
    }
    ReleaseVolume(ctx);
    return PassEnd::Restart;
}

}  // namespace

void RunDrive(EngineContext& ctx, const DefragmentPhase& defragment) {
    ctx.run.UserAbort = false;
    ctx.fat.PreferSecondCopy = false;
    ctx.dev.LastLockLevel = -1;
    int pass = 0;
    try {
        for (;;) {
            if (pass != 0) {
                ctx.view.ClearTextPanel();
                ctx.view.ShowLabel(ViewLabel::Restarting, true);
                // The new pass lists every file again.
                ctx.lists = RunLists{};
            }
            ++pass;
            const PassEnd end = RunPass(ctx, defragment);
            if (end == PassEnd::Done) return;
            if (end == PassEnd::Error) {
                if (RetryWithSecondTableCopy(ctx)) continue;
                HandleRunError(ctx, 0, "", "");
                return;
            }
        }
    } catch (const std::bad_alloc&) {
        HandleRunError(ctx, kOutOfMemory, "Out of memory", "RunDrive");
    } catch (const std::exception& e) {
        HandleRunError(ctx, kOtherRuntimeError, e.what(), "RunDrive");
    }
}

void EndRun(EngineContext& ctx) {
    ReleaseVolume(ctx);
    ShrinkToOne(ctx.fat.Fat12Raw);
    ShrinkToOne(ctx.fat.Fat16Raw);
    ShrinkToOne(ctx.fat.FatTable);
    ShrinkToOne(ctx.scan.FoldersWithErased);
    ShrinkToOne(ctx.scan.FileRecords);
    ShrinkToOne(ctx.chains.SuccessorSeen);
    ShrinkToOne(ctx.scan.FolderTable);
    ShrinkToOne(ctx.scan.RecordFixed);
    ShrinkToOne(ctx.scan.RecordInUse);
    ctx.view.ShowLabel(ViewLabel::Restarting, false);
    if (ctx.run.StopRequested) WriteStopLine(ctx);
}

void WriteStopLine(EngineContext& ctx) {
    ctx.view.BringToFront();
    if (ctx.run.ErrorStop != 0)
        ReportError(ctx, "Error stop");
    else
        AddLogLine(ctx, "(User stop)");
}

}  // namespace quillo
