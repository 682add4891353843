#pragma once
// Absolute sector transfers of the open volume as the engine sees them: plain
// transfers, sequential transfers at SectorCursor, and the boot sector read.
#include <cstdint>

#include "disk/volume_device.h"

namespace quillo {

struct EngineContext;

// One transfer; false when the device is closed or the transfer failed.
bool ReadSectors(EngineContext& ctx, uint32_t start, uint32_t count, uint8_t* buffer);
bool WriteSectors(EngineContext& ctx, uint32_t start, uint32_t count, const uint8_t* buffer,
                  WriteKind kind);

// Sequential transfers at SectorCursor. Each failure calls ReportDiskError.
// ReadAtCursor and WriteAtCursor advance the cursor by the sector count.
bool ReadAtCursor(EngineContext& ctx, uint8_t* buffer, uint32_t sectorCount);
bool WriteAtCursor(EngineContext& ctx, const uint8_t* buffer, uint32_t sectorCount,
                   WriteKind kind);
// Byte-count variants: transfer byteCount / 512 sectors. The read leaves the
// cursor where it was; the write advances it.
bool ReadBytesAtCursor(EngineContext& ctx, uint8_t* buffer, uint32_t byteCount);
bool WriteBytesAtCursor(EngineContext& ctx, const uint8_t* buffer, uint32_t byteCount,
                        WriteKind kind);

// Reads sector 0 into a 512-byte record.
bool ReadBootSector(EngineContext& ctx, uint8_t* record);

// The common state of a failed transfer: "Error writing drive", for reads too.
void ReportDiskError(EngineContext& ctx);

// One ordering point between writes that must reach the disk in order: every
// write made before it is durable before any write after it is issued. A
// flush that fails leaves that unknown, so it stops the run as a failed
// write does. Counted in DefragState::Flushes; skipped (true) only where
// DefragState::FlushBetweenSteps is off, to measure what flushes cost.
bool OrderingPoint(EngineContext& ctx);

}  // namespace quillo
