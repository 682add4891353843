#include "disk/fat_table.h"

#include <algorithm>
#include <vector>

#include "common/engine_context.h"
#include "common/little_endian.h"
#include "common/stop.h"
#include "disk/fat_codec.h"
#include "disk/sector_io.h"

namespace quillo {
namespace {

constexpr uint32_t kSector = kSectorSize;

// Table sectors s0..s1 that hold entries first..first+count-1 at `perSector`
// entries a sector; false when the range lies outside the table.
bool SectorSpan(const EngineContext& ctx, int32_t first, int32_t count, int32_t perSector,
                int32_t& s0, int32_t& s1) {
    if (first < 0 || count <= 0 || perSector <= 0) return false;
    s0 = first / perSector;
    s1 = static_cast<int32_t>((static_cast<int64_t>(first) + count - 1) / perSector);
    return s1 < ctx.geo.SectorsPerFat;
}

void StopOnBadRange(EngineContext& ctx) {
    ctx.run.ErrorStop = 1;
    ctx.run.StopRequested = true;
    ctx.run.InternalError = true;
    ctx.run.ErrorMessage = "FAT range outside the table";
}

bool ReadTableSectors(EngineContext& ctx, int32_t s0, int32_t sectors, std::vector<uint8_t>& bytes) {
    bytes.resize(static_cast<size_t>(sectors) * kSector);
    ctx.dev.SectorCursor = ctx.geo.ReservedSectors + s0;
    return ReadAtCursor(ctx, bytes.data(), static_cast<uint32_t>(sectors));
}

// Writes the same table sectors to the first copy, then to the second.
bool WriteBothCopies(EngineContext& ctx, int32_t s0, int32_t sectors, const uint8_t* bytes) {
    ctx.dev.SectorCursor = ctx.geo.ReservedSectors + s0;
    bool ok = WriteAtCursor(ctx, bytes, static_cast<uint32_t>(sectors), WriteKind::AllocationTable);
    if (ctx.geo.NumberOfFats > 1) {
        ctx.dev.SectorCursor = ctx.geo.ReservedSectors + s0 + ctx.geo.SectorsPerFat;
        ok = WriteAtCursor(ctx, bytes, static_cast<uint32_t>(sectors),
                           WriteKind::AllocationTable) && ok;
    }
    return ok;
}

void DecodeFat32(EngineContext& ctx, const std::vector<uint8_t>& bytes, int32_t firstEntry) {
    const size_t entries = bytes.size() / 4;
    for (size_t i = 0; i < entries; ++i) ctx.fat.FatTable[firstEntry + i] = le32(&bytes[i * 4]);
}

void DecodeFat16Raw(EngineContext& ctx, const std::vector<uint8_t>& bytes, int32_t firstEntry) {
    const size_t entries = bytes.size() / 2;
    for (size_t i = 0; i < entries; ++i) ctx.fat.Fat16Raw[firstEntry + i] = le16(&bytes[i * 2]);
}

void WidenFat16Range(EngineContext& ctx, int32_t first, int32_t last) {
    for (int32_t n = first; n <= last; ++n) ctx.fat.FatTable[n] = WidenFat16(ctx.fat.Fat16Raw[n]);
}

bool ReadFat12(EngineContext& ctx) {
    FatBuffers& fat = ctx.fat;
    const uint32_t bytes = static_cast<uint32_t>(ctx.geo.SectorsPerFat) * kSector;
    fat.Fat12Raw.assign(bytes, 0);
    ctx.dev.SectorCursor = ctx.geo.ReservedSectors;
    const bool ok = ReadBytesAtCursor(ctx, fat.Fat12Raw.data(), bytes);
    fat.FatTable.assign(static_cast<size_t>(ctx.geo.TotalClusters) + 2, 0);
    for (uint32_t n = 2; n < fat.FatTable.size(); ++n)
        fat.FatTable[n] = ReadFat12Entry(fat.Fat12Raw.data(), n);
    return ok;
}

bool WriteFat12(EngineContext& ctx) {
    FatBuffers& fat = ctx.fat;
    for (uint32_t n = 2; n < fat.FatTable.size(); ++n)
        WriteFat12Entry(fat.Fat12Raw.data(), n, fat.FatTable[n]);
    const uint32_t bytes = static_cast<uint32_t>(fat.Fat12Raw.size());
    // The table starts after the reserved sectors, however many there are.
    ctx.dev.SectorCursor = ctx.geo.ReservedSectors;
    bool ok = WriteBytesAtCursor(ctx, fat.Fat12Raw.data(), bytes, WriteKind::AllocationTable);
    if (ctx.geo.NumberOfFats > 1)
        ok = WriteBytesAtCursor(ctx, fat.Fat12Raw.data(), bytes, WriteKind::AllocationTable) && ok;
    return ok;
}

}  // namespace

bool ReadFat(EngineContext& ctx) {
    const Geometry& geo = ctx.geo;
    std::vector<uint8_t> bytes;
    if (geo.IsFat32) {
        ctx.fat.FatTable.assign(static_cast<size_t>(geo.SectorsPerFat) * geo.Fat32EntriesPerSector, 0);
        const bool ok = ReadTableSectors(ctx, 0, geo.SectorsPerFat, bytes);
        DecodeFat32(ctx, bytes, 0);
        return ok;
    }
    if (!geo.IsFat12()) {
        const size_t entries = static_cast<size_t>(geo.SectorsPerFat) * geo.Fat16EntriesPerSector;
        ctx.fat.FatTable.assign(entries, 0);
        ctx.fat.Fat16Raw.assign(entries, 0);
        const bool ok = ReadTableSectors(ctx, 0, geo.SectorsPerFat, bytes);
        DecodeFat16Raw(ctx, bytes, 0);
        WidenFat16Range(ctx, 0, static_cast<int32_t>(entries) - 1);
        return ok;
    }
    return ReadFat12(ctx);
}

bool RereadFatRange(EngineContext& ctx, int32_t first, int32_t count) {
    const Geometry& geo = ctx.geo;
    bool ok;
    if (geo.IsFat12()) {
        ok = ReadFat(ctx);
    } else {
        const int32_t perSector = geo.IsFat32 ? geo.Fat32EntriesPerSector : geo.Fat16EntriesPerSector;
        int32_t s0, s1;
        if (!SectorSpan(ctx, first, count, perSector, s0, s1)) {
            StopOnBadRange(ctx);
            return false;
        }
        std::vector<uint8_t> bytes;
        ok = ReadTableSectors(ctx, s0, s1 - s0 + 1, bytes);
        if (ok) {
            if (geo.IsFat32) {
                DecodeFat32(ctx, bytes, s0 * perSector);
            } else {
                DecodeFat16Raw(ctx, bytes, s0 * perSector);
                WidenFat16Range(ctx, first, first + count - 1);
            }
        }
    }
    if (CheckFatHead(ctx)) return false;
    if (!ok) {
        ctx.run.ErrorStop = 1;
        ctx.run.StopRequested = true;
        ctx.run.ErrorMessage = "Error reading drive";
    }
    return ok;
}

bool WriteFatRange(EngineContext& ctx, int32_t first, int32_t count) {
    if (CheckFatHead(ctx)) return false;
    const Geometry& geo = ctx.geo;
    if (geo.IsFat12()) return WriteFat12(ctx);

    const int32_t perSector = geo.IsFat32 ? geo.Fat32EntriesPerSector : geo.Fat16EntriesPerSector;
    int32_t s0, s1;
    if (!SectorSpan(ctx, first, count, perSector, s0, s1)) {
        StopOnBadRange(ctx);
        return false;
    }
    const int32_t sectors = s1 - s0 + 1;
    const int32_t firstEntry = s0 * perSector;
    const int32_t entries = sectors * perSector;
    std::vector<uint8_t> bytes(static_cast<size_t>(sectors) * kSector);
    if (geo.IsFat32) {
        for (int32_t i = 0; i < entries; ++i) put_le32(&bytes[i * 4], ctx.fat.FatTable[firstEntry + i]);
    } else {
        for (int32_t n = first; n < first + count; ++n)
            ctx.fat.Fat16Raw[n] = static_cast<uint16_t>(ctx.fat.FatTable[n]);
        for (int32_t i = 0; i < entries; ++i) put_le16(&bytes[i * 2], ctx.fat.Fat16Raw[firstEntry + i]);
    }
    return WriteBothCopies(ctx, s0, sectors, bytes.data());
}

bool FreeRanges(EngineContext& ctx, std::span<const int32_t> starts,
                std::span<const int32_t> counts) {
    const size_t pairs = std::min(starts.size(), counts.size());
    for (size_t i = 0; i < pairs; ++i) {
        const int64_t end = static_cast<int64_t>(starts[i]) + counts[i];
        if (starts[i] < 2 || counts[i] <= 0 || end > static_cast<int64_t>(ctx.fat.FatTable.size())) {
            StopOnBadRange(ctx);
            return false;
        }
    }
    for (size_t i = 0; i < pairs; ++i)
        if (!RereadFatRange(ctx, starts[i], counts[i])) return false;
    for (size_t i = 0; i < pairs; ++i)
        for (int32_t n = starts[i]; n < starts[i] + counts[i]; ++n)
            ctx.fat.FatTable[n] &= ~kFatMask;  // free, keeping the top four bits
    bool ok = true;
    for (size_t i = 0; i < pairs; ++i) ok = WriteFatRange(ctx, starts[i], counts[i]) && ok;
    return ok;
}

bool CheckFatHead(EngineContext& ctx) {
    if (ctx.geo.IsFat12()) return false;
    if (ctx.fat.FatTable.empty() || (ctx.fat.FatTable[0] & kFatMask) != kFatEndOfChain) {
        StopWithError(ctx, "FAT error");
        return true;
    }
    return false;
}

}  // namespace quillo
