#include "disk/sector_io.h"

#include "common/engine_context.h"

namespace quillo {

bool ReadSectors(EngineContext& ctx, uint32_t start, uint32_t count, uint8_t* buffer) {
    VolumeDevice* device = ctx.dev.DeviceHandle;
    return device != nullptr && device->ReadSectors(start, count, buffer);
}

bool WriteSectors(EngineContext& ctx, uint32_t start, uint32_t count, const uint8_t* buffer,
                  WriteKind kind) {
    VolumeDevice* device = ctx.dev.DeviceHandle;
    return device != nullptr && device->WriteSectors(start, count, buffer, kind);
}

bool ReadAtCursor(EngineContext& ctx, uint8_t* buffer, uint32_t sectorCount) {
    const bool ok = ReadSectors(ctx, static_cast<uint32_t>(ctx.dev.SectorCursor), sectorCount, buffer);
    if (!ok) ReportDiskError(ctx);
    ctx.dev.SectorCursor += static_cast<int32_t>(sectorCount);
    return ok;
}

bool WriteAtCursor(EngineContext& ctx, const uint8_t* buffer, uint32_t sectorCount,
                   WriteKind kind) {
    const bool ok =
        WriteSectors(ctx, static_cast<uint32_t>(ctx.dev.SectorCursor), sectorCount, buffer, kind);
    if (!ok) ReportDiskError(ctx);
    ctx.dev.SectorCursor += static_cast<int32_t>(sectorCount);
    return ok;
}

bool ReadBytesAtCursor(EngineContext& ctx, uint8_t* buffer, uint32_t byteCount) {
    const bool ok = ReadSectors(ctx, static_cast<uint32_t>(ctx.dev.SectorCursor),
                                byteCount / kSectorSize, buffer);
    if (!ok) ReportDiskError(ctx);
    return ok;
}

bool WriteBytesAtCursor(EngineContext& ctx, const uint8_t* buffer, uint32_t byteCount,
                        WriteKind kind) {
    return WriteAtCursor(ctx, buffer, byteCount / kSectorSize, kind);
}

bool ReadBootSector(EngineContext& ctx, uint8_t* record) {
    return ReadSectors(ctx, 0, 1, record);
}

bool OrderingPoint(EngineContext& ctx) {
    if (!ctx.defrag.FlushBetweenSteps) return true;
    ++ctx.defrag.Flushes;
    VolumeDevice* device = ctx.dev.DeviceHandle;
    if (device != nullptr && device->ResetDrive()) {
        ctx.fat.SecondCopyUnflushed = false;
        return true;
    }
    ReportDiskError(ctx);
    return false;
}

void ReportDiskError(EngineContext& ctx) {
    ctx.run.ErrorStop = 1;
    ctx.run.StopRequested = true;
    ctx.run.ErrorMessage = "Error writing drive";
    ctx.run.DiskIoFailed = true;
}

}  // namespace quillo
