#include "disk/fat_table.h"

#include <algorithm>
#include <vector>

#include "common/engine_context.h"
#include "common/little_endian.h"
#include "common/stop.h"
#include "disk/chain_form.h"
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

// Widens a packed FAT12 copy into FatTable.
void DecodeFat12(EngineContext& ctx, const std::vector<uint8_t>& raw) {
    std::vector<uint32_t>& table = ctx.fat.FatTable;
    table.assign(static_cast<size_t>(ctx.geo.TotalClusters) + 2, 0);
    for (uint32_t n = 2; n < table.size(); ++n) table[n] = ReadFat12Entry(raw.data(), n);
}

// Reads both FAT12 copies. When they differ, a power cut found one of them
// half written (they are written one at a time): the first is taken when
// its chains are well formed, else the second when its are.
bool ReadFat12(EngineContext& ctx) {
    FatBuffers& fat = ctx.fat;
    const uint32_t bytes = static_cast<uint32_t>(ctx.geo.SectorsPerFat) * kSector;
    fat.Fat12Raw.assign(bytes, 0);
    fat.CopiesDiffer = fat.SecondCopyWellFormed = fat.UsingSecondCopy = false;
    ctx.dev.SectorCursor = ctx.geo.ReservedSectors;
    if (!ReadBytesAtCursor(ctx, fat.Fat12Raw.data(), bytes)) {
        DecodeFat12(ctx, fat.Fat12Raw);
        return false;
    }
    DecodeFat12(ctx, fat.Fat12Raw);
    if (ctx.geo.NumberOfFats < 2) return true;

    std::vector<uint8_t> second(bytes, 0);
    ctx.dev.SectorCursor = ctx.geo.ReservedSectors + ctx.geo.SectorsPerFat;
    if (!ReadBytesAtCursor(ctx, second.data(), bytes)) return false;
    if (second == fat.Fat12Raw) return true;
    fat.CopiesDiffer = true;

    const uint32_t maxCluster = static_cast<uint32_t>(std::max(ctx.geo.MaxCluster, 0));
    const bool firstWellFormed = ChainsWellFormed(fat.FatTable, maxCluster);
    std::vector<uint32_t> firstTable;
    fat.FatTable.swap(firstTable);
    DecodeFat12(ctx, second);
    fat.SecondCopyWellFormed = ChainsWellFormed(fat.FatTable, maxCluster);
    fat.UsingSecondCopy = fat.SecondCopyWellFormed && (!firstWellFormed || fat.PreferSecondCopy);
    if (fat.UsingSecondCopy)
        fat.Fat12Raw.swap(second);
    else
        fat.FatTable.swap(firstTable);
    return true;
}

// Writes the whole FAT12 table. An entry of 12 bits can straddle two table
// sectors, and no order of the two sector writes changes it from one value
// to another without passing through a wrong link. So the copies are written
// one at a time with an ordering point between and before, and a power cut
// finds at most one of them half written: ReadFat takes the other.
bool WriteFat12(EngineContext& ctx) {
    FatBuffers& fat = ctx.fat;
    for (uint32_t n = 2; n < fat.FatTable.size(); ++n)
        WriteFat12Entry(fat.Fat12Raw.data(), n, fat.FatTable[n]);
    const uint32_t bytes = static_cast<uint32_t>(fat.Fat12Raw.size());
    if (fat.SecondCopyUnflushed && !OrderingPoint(ctx)) return false;
    // The table starts after the reserved sectors, however many there are.
    ctx.dev.SectorCursor = ctx.geo.ReservedSectors;
    if (!WriteBytesAtCursor(ctx, fat.Fat12Raw.data(), bytes, WriteKind::AllocationTable)) return false;
    if (ctx.geo.NumberOfFats < 2) return true;
    if (!OrderingPoint(ctx)) return false;
    fat.SecondCopyUnflushed = true;
    return WriteBytesAtCursor(ctx, fat.Fat12Raw.data(), bytes, WriteKind::AllocationTable);
}

// FAT16 and FAT32: the entries of first..first+count-1 whose link leads to
// a cluster whose entry lies in another table sector.
std::vector<int32_t> CrossSectorLinks(const EngineContext& ctx, int32_t first, int32_t count) {
    const int32_t perSector = ctx.geo.IsFat32 ? ctx.geo.Fat32EntriesPerSector : ctx.geo.Fat16EntriesPerSector;
    std::vector<int32_t> links;
    for (int32_t c = first; c < first + count; ++c) {
        const uint32_t next = ctx.fat.FatTable[c] & kFatMask;
        if (next >= 2 && next < kFatFirstReserved && next / perSector != static_cast<uint32_t>(c / perSector))
            links.push_back(c);
    }
    return links;
}

// FAT12 writes its whole table once; the others write each range.
bool WriteRanges(EngineContext& ctx, std::span<const int32_t> starts, std::span<const int32_t> counts) {
    const size_t ranges = ctx.geo.IsFat12() ? 1 : std::min(starts.size(), counts.size());
    bool ok = true;
    for (size_t i = 0; i < ranges && ok; ++i) ok = WriteFatRange(ctx, starts[i], counts[i]);
    return ok;
}

// A multi-sector write of table ranges can reach the disk in part, any
// sector without the others. Written in two steps, every chain the ranges
// hold stays well formed whatever part arrives: first with each link that
// crosses into another table sector cut (an end-of-chain mark), so that each
// sector holds whole chains of its own; after an ordering point, with those
// links as `FatTable` has them after `finish` (the links back for a new
// chain, zeros for a free).
template <typename Finish>
bool WriteInTwoSteps(EngineContext& ctx, std::span<const int32_t> starts, std::span<const int32_t> counts,
                     Finish finish) {
    const size_t ranges = std::min(starts.size(), counts.size());
    std::vector<std::pair<int32_t, uint32_t>> cuts;  // entry, its link
    if (!ctx.geo.IsFat12())  // FAT12 is kept whole by its copies instead
        for (size_t i = 0; i < ranges; ++i)
            for (int32_t c : CrossSectorLinks(ctx, starts[i], counts[i])) cuts.emplace_back(c, ctx.fat.FatTable[c]);
    if (!cuts.empty()) {
        for (const auto& [c, link] : cuts) ctx.fat.FatTable[c] = (link & ~kFatMask) | kFatMask;
        const bool cut = WriteRanges(ctx, starts, counts);
        for (const auto& [c, link] : cuts) ctx.fat.FatTable[c] = link;
        if (!cut || !OrderingPoint(ctx)) return false;
    }
    finish();
    return WriteRanges(ctx, starts, counts);
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

bool WriteNewChain(EngineContext& ctx, int32_t first, int32_t count) {
    const int32_t start[] = {first};
    const int32_t length[] = {count};
    return WriteInTwoSteps(ctx, start, length, [] {});
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
    return WriteInTwoSteps(ctx, starts, counts, [&] {
        for (size_t i = 0; i < pairs; ++i)
            for (int32_t n = starts[i]; n < starts[i] + counts[i]; ++n)
                ctx.fat.FatTable[n] &= ~kFatMask;  // free, keeping the top four bits
    });
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
