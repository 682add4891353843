#include "engine/sector_viewer.h"

#include <algorithm>
#include <cctype>

#include "analysis/chains.h"
#include "analysis/long_names.h"
#include "common/engine_context.h"
#include "common/little_endian.h"
#include "disk/dir_entry_layout.h"
#include "disk/fat_table.h"
#include "disk/sector_io.h"
#include "disk/volume_device.h"
#include "disk/volume_geometry.h"
#include "engine/dir_entry.h"

namespace quillo {
namespace {

// Boot sector fields of the sector count: 16 bits, or 32 bits when that is 0.
constexpr int kTotalSectors16Offset = 19;
constexpr int kTotalSectors32Offset = 32;

constexpr int kEntriesPerSector = kSectorSize / kEntrySize;
constexpr int32_t kMostLongNamePieces = 20;

void ClearOutcome(RunState& run) {
    run.ErrorStop = 0;
    run.StopRequested = false;
    run.ErrorMessage.clear();
    run.ErrorSource.clear();
    run.DiskIoFailed = false;
    run.DriveBusy = false;
    run.InternalError = false;
    run.StructuralError = false;
    run.OutOfMemory = false;
}

}  // namespace

ViewerOpening OpenVolumeForViewing(EngineContext& ctx) {
    ClearOutcome(ctx.run);
    const char letter = ctx.run.DriveString.empty()
                            ? '\0'
                            : static_cast<char>(std::toupper(static_cast<unsigned char>(ctx.run.DriveString[0])));
    VolumeDevice* device = ctx.devices.DeviceForDrive(letter);
    if (device == nullptr || !device->OpenReadOnly()) {
        ctx.run.DriveBusy = true;
        return ViewerOpening::Busy;
    }
    ctx.dev.DeviceHandle = device;
    ctx.dev.DriveIndex = letter - 'A';
    ctx.dev.LastLockLevel = -1;
    ctx.dev.Level0Held = false;
    if (!OpenVolume(ctx)) {
        CloseVolumeForViewing(ctx);
        return ViewerOpening::NoGeometry;
    }
    if (ctx.geo.IsFat32) ctx.geo.RootEntryCount = 0;
    if (!ReadFat(ctx)) {
        CloseVolumeForViewing(ctx);
        return ViewerOpening::TableUnread;
    }
    return ViewerOpening::Opened;
}

void CloseVolumeForViewing(EngineContext& ctx) {
    if (ctx.dev.DeviceHandle != nullptr) ctx.dev.DeviceHandle->Close();
    ctx.dev.DeviceHandle = nullptr;
}

int32_t VolumeTotalSectors(const Geometry& geo) {
    if (geo.BootRecord.size() < kSectorSize) return 0;
    uint32_t total = le16(geo.BootRecord.data() + kTotalSectors16Offset);
    if (total == 0) total = le32(geo.BootRecord.data() + kTotalSectors32Offset);
    return static_cast<int32_t>(std::min<uint32_t>(total, 0x7FFFFFFF));
}

// The tables follow the reserved sectors, however many the volume has.
int32_t FixedRootStart(const Geometry& geo) {
    return geo.ReservedSectors + geo.NumberOfFats * geo.SectorsPerFat;
}

int32_t FixedRootSectors(const Geometry& geo) {
    return geo.DirEntriesPerSector > 0 ? geo.RootEntryCount / geo.DirEntriesPerSector : 0;
}

SectorExtents ChainSectors(EngineContext& ctx, uint32_t first, int32_t& clusters) {
    clusters = 0;
    if (first < 2 || first > static_cast<uint32_t>(ctx.geo.MaxCluster)) return {};
    // A broken chain here is something the user clicked, not a run's error.
    const RunState saved = ctx.run;
    RunList runs;
    const int32_t count = FAT_Frag(ctx, first, runs);
    ctx.run = saved;
    if (count <= 0) return {};
    SectorExtents extents;
    for (int32_t k = 1; k <= runs.Count(); ++k) {
        if (runs.RunLength[k] <= 0) continue;
        extents.push_back({static_cast<int32_t>(ClusterSector(ctx.geo, static_cast<uint32_t>(runs.RunStart[k]))),
                           runs.RunLength[k] * ctx.geo.SectorsPerCluster});
    }
    clusters = count;
    return extents;
}

int32_t RelativeToAbsolute(const SectorExtents& extents, int32_t index) {
    for (const SectorExtent& extent : extents) {
        if (index < extent.count) return extent.start + index;
        index -= extent.count;
    }
    return 0;
}

int32_t AbsoluteToRelative(const SectorExtents& extents, int32_t sector) {
    int32_t before = 0;
    for (const SectorExtent& extent : extents) {
        if (extent.start <= sector && sector - extent.start < extent.count)
            return before + (sector - extent.start);
        before += extent.count;
    }
    return -1;
}

bool ReadViewSector(EngineContext& ctx, int32_t sector, uint8_t* buffer) {
    if (sector >= 0 && ReadSectors(ctx, static_cast<uint32_t>(sector), 1, buffer)) return true;
    ReportDiskError(ctx);
    return false;
}

std::string EntryLongName(EngineContext& ctx, const SectorExtents& folder, int32_t entryIndex) {
    if (entryIndex < 0) return {};
    // A long name has at most 20 pieces, all right in front of its entry.
    LongNameCollector pieces;
    uint8_t sector[kSectorSize];
    int32_t sectorHeld = -1;
    for (int32_t slot = std::max(0, entryIndex - kMostLongNamePieces); slot <= entryIndex; ++slot) {
        if (slot / kEntriesPerSector != sectorHeld) {
            sectorHeld = slot / kEntriesPerSector;
            const int32_t absolute = RelativeToAbsolute(folder, sectorHeld);
            if (AbsoluteToRelative(folder, absolute) != sectorHeld ||
                !ReadSectors(ctx, static_cast<uint32_t>(absolute), 1, sector))
                return {};
        }
        const uint8_t* entry = sector + (slot % kEntriesPerSector) * kEntrySize;
        if (slot == entryIndex) return pieces.NameFor(entry);
        // Pieces count only while they run unbroken up to the entry.
        if (entry[0] != kErasedEntry && IsLongNamePiece(entry)) pieces.AddPiece(entry);
        else pieces.Reset();
    }
    return {};
}

}  // namespace quillo
