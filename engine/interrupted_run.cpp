#include "engine/interrupted_run.h"

#include <string>

#include "common/engine_context.h"
#include "common/log.h"
#include "analysis/directory_scan.h"
#include "disk/fat_table.h"
#include "disk/sector_io.h"
#include "disk/volume_lock.h"
#include "engine/dir_entry.h"

namespace quillo {
namespace {

constexpr char kSecondCopyUsed[] = "The allocation table copies differ: the second copy is used";
constexpr char kFirstCopyRewritten[] = "First allocation table rewritten from the second copy";

std::string FolderOf(const EngineContext& ctx, const ScanState::StaleDotDot& stale) {
    return FolderPath(ctx, stale.folderIndex);
}

}  // namespace

void ReportInterruptedRun(EngineContext& ctx) {
    if (ctx.fat.UsingSecondCopy) AddLogLine(ctx, kSecondCopyUsed);
    for (const ScanState::StaleDotDot& stale : ctx.scan.StaleDotDots)
        AddLogLine(ctx, FolderOf(ctx, stale) + ": \"..\" names the wrong folder");
}

void RepairInterruptedRun(EngineContext& ctx) {
    const ScanState& scan = ctx.scan;
    if (!ctx.fat.UsingSecondCopy && scan.StaleDotDots.empty()) return;
    if (!ctx.dev.Level0Held && !EnterWriteLock(ctx, false)) return;
    if (ctx.fat.UsingSecondCopy) {
        AddLogLine(ctx, kSecondCopyUsed);
        // FAT12 writes its whole table, first copy first: from the copy in use.
        if (WriteFatRange(ctx, 2, 1)) {
            ctx.fat.UsingSecondCopy = ctx.fat.CopiesDiffer = false;
            AddLogLine(ctx, kFirstCopyRewritten);
        }
    }
    for (const ScanState::StaleDotDot& stale : scan.StaleDotDots) {
        if (ctx.run.ErrorStop != 0) break;
        const FileRecord& folder = scan.FileRecords[stale.record];
        FixDotEntries(ctx, folder.FirstCluster, scan.FileRecords[folder.ParentRecord].FirstCluster);
        if (ctx.run.ErrorStop == 0) AddLogLine(ctx, FolderOf(ctx, stale) + ": \"..\" corrected");
    }
    if (ctx.run.ErrorStop == 0) OrderingPoint(ctx);
    if (!ctx.dev.Level0Held) YieldWriteLock(ctx);
}

bool RetryWithSecondTableCopy(EngineContext& ctx) {
    FatBuffers& fat = ctx.fat;
    RunState& run = ctx.run;
    if (!run.StructuralError || !fat.CopiesDiffer || !fat.SecondCopyWellFormed || fat.UsingSecondCopy ||
        fat.PreferSecondCopy)
        return false;
    ReleaseVolume(ctx);
    fat.PreferSecondCopy = true;
    run.StructuralError = false;
    run.ErrorStop = 0;
    run.ErrorMessage.clear();
    run.ErrorSource.clear();
    run.StopRequested = run.UserAbort;
    return true;
}

}  // namespace quillo
