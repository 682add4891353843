#include "disk/volume_geometry.h"

#include <algorithm>
#include <cerrno>

#include "common/engine_context.h"
#include "disk/drive_menu.h"
#include "disk/sector_io.h"
#include "disk/volume_device.h"
#include "disk/volume_lock.h"
#include "disk/volume_space.h"

namespace quillo {
namespace {

constexpr char kIncompatible[] = "Disk error or incompatible disk";
constexpr int32_t kNoLimit = 0x7FFFFFFF;

// The language's number-to-text: a leading blank before a non-negative number.
std::string NumberText(int value) {
    return (value >= 0 ? " " : "") + std::to_string(value);
}

std::string DriveFileSystem(EngineContext& ctx) {
    DriveMenu scratch;
    DriveMenu& menu = ctx.driveMenu != nullptr ? *ctx.driveMenu : scratch;
    return QueryDrive(menu, ctx.run.DriveMenuIndex, true, ctx.devices);
}

}  // namespace

int32_t BytesToClusters(const EngineContext& ctx, uint64_t bytes, int32_t sectorsPerCluster) {
    if (sectorsPerCluster <= 0 || ctx.geo.BytesPerSector <= 0) return 0;
    const uint32_t low = static_cast<uint32_t>(bytes);
    const uint32_t high = static_cast<uint32_t>(bytes >> 32);
    // The part above 2^31 bytes is counted in 512-byte sectors.
    const int64_t sectors = static_cast<int64_t>(low & 0x7FFFFFFF) / ctx.geo.BytesPerSector +
                            int64_t{high} * 8388608 + ((low & 0x80000000u) ? 4194304 : 0);
    return static_cast<int32_t>(std::min<int64_t>(sectors / sectorsPerCluster, kNoLimit));
}

bool QueryFreeSpace(EngineContext& ctx, const std::string& rootPath, int32_t sectorsPerCluster) {
    Geometry& geo = ctx.geo;
    VolumeDevice* device = ctx.dev.DeviceHandle;
    const std::optional<VolumeSpace> space =
        device != nullptr ? QueryVolumeSpace(*device) : std::nullopt;
    if (space) {
        geo.BytesPerSector = static_cast<int32_t>(space->bytesPerSector);
        geo.FreeClusters = static_cast<int32_t>(space->freeClusters);
        geo.TotalClusters = static_cast<int32_t>(space->totalClusters);
    } else if (!ctx.dev.ExtendedIo) {
        ReportError(ctx, "Disk error=" + NumberText(EIO));
        return false;
    } else {
        geo.BytesPerSector = 512;
    }
    geo.Fat32EntriesPerSector = geo.BytesPerSector / 4;
    geo.Fat16EntriesPerSector = geo.BytesPerSector / 2;
    geo.DirEntriesPerSector = geo.BytesPerSector / 32;
    if (ctx.dev.ExtendedIo) {
        if (!space) {
            ReportError(ctx, "Disk error=" + NumberText(EIO));
            return false;
        }
        // No per-user quotas on an image: free to the caller is all that is free.
        geo.FreeClusters = BytesToClusters(ctx, space->freeBytes(), sectorsPerCluster);
        geo.TotalClusters = BytesToClusters(ctx, space->totalBytes(), sectorsPerCluster);
    }
    return true;
}

void ComputeSizeLimits(EngineContext& ctx) {
    const Options& o = ctx.options;
    Geometry& geo = ctx.geo;
    geo.HugeDefragLimit = o.NoHugeDefrag ? static_cast<int32_t>(static_cast<uint32_t>(o.DefragLim) << 20) : kNoLimit;
    geo.HugePackLimit = o.NoHugePack ? static_cast<int32_t>(static_cast<uint32_t>(o.PackLim) << 20) : kNoLimit;
    geo.HugeListLimit = std::min(geo.HugeDefragLimit, geo.HugePackLimit);
}

bool OpenVolume(EngineContext& ctx) {
    RunState& run = ctx.run;
    Geometry& geo = ctx.geo;
    geo.TotalClusters = 0;
    // A Stop the user pressed during this pass stays pressed; only a stop
    // left by an earlier pass's error is cleared.
    run.StopRequested = run.UserAbort;
    run.DiskIoFailed = false;
    run.OutOfMemory = false;
    run.InternalError = false;
    run.DriveBusy = false;
    run.StructuralError = false;

    geo.FileSystemName = DriveFileSystem(ctx);
    if (geo.FileSystemName.empty()) {
        ReportError(ctx, kIncompatible);
        const char letter = DriveLetterForMenuIndex(run.DriveMenuIndex);
        const std::string why = letter != 0 ? ctx.devices.UnsupportedReason(letter) : "";
        if (!why.empty()) ReportError(ctx, "Not supported: " + why);
        return false;
    }
    geo.IsFat32 = geo.FileSystemName == "FAT32";

    geo.BootRecord.assign(kSectorSize, 0);
    if (!ReadBootSector(ctx, geo.BootRecord.data())) return false;
    // Refuse any volume whose layout we do not fully understand (two tables
    // among the rest): nothing may ever be written to it.
    const std::optional<BootSectorInfo> info =
        ParseBootSector(geo.BootRecord.data(), ctx.dev.DeviceHandle->VolumeSectorCount(), nullptr);
    // Sector numbers are 32-bit signed throughout the engine.
    if (!info || info->fileSystemName != geo.FileSystemName || info->totalSectors > 0x7FFFFFFF) {
        ReportError(ctx, kIncompatible);
        return false;
    }

    geo.SectorsPerCluster = static_cast<int32_t>(info->sectorsPerCluster);
    if (!QueryFreeSpace(ctx, run.RootPath, geo.SectorsPerCluster)) {
        ReportError(ctx, kIncompatible);
        return false;
    }
    geo.RootEntryCount = static_cast<uint16_t>(info->rootEntryCount);
    geo.ReservedSectors = static_cast<int32_t>(info->reservedSectors);
    geo.NumberOfFats = static_cast<int32_t>(info->numFats);
    geo.SectorsPerFat = static_cast<int32_t>(info->sectorsPerFat);
    geo.RootCluster = info->rootCluster;
    geo.VolumeSerial = info->volumeSerial;
    if (geo.IsFat32) {
        geo.DataStartMinus1 = geo.NumberOfFats * geo.SectorsPerFat + geo.ReservedSectors - 1;
    } else {
        // The data area follows the reserved sectors, both tables and the root
        // directory, however many reserved sectors the volume has.
        geo.DataStartMinus1 = geo.NumberOfFats * geo.SectorsPerFat +
                              geo.RootEntryCount / geo.DirEntriesPerSector +
                              geo.ReservedSectors - 1;
    }
    geo.BytesPerCluster = geo.SectorsPerCluster * geo.BytesPerSector;
    geo.VolumeSectors = geo.TotalClusters * geo.SectorsPerCluster;
    geo.MaxCluster = geo.TotalClusters + 1;
    ComputeSizeLimits(ctx);
    geo.ClustersPer4K = 4096 / geo.SectorsPerCluster;

    std::string swapPath;
    if (ctx.dev.SwapFilePath.empty() && ctx.dev.DeviceHandle->FindSwapFile(swapPath))
        ctx.dev.SwapFilePath = swapPath;
    return true;
}

}  // namespace quillo
