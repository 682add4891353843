#pragma once
// The allocation table of the open volume in memory: read whole once per
// pass, re-read by range before a change, written back by whole sectors to
// the first copy and then the second.
#include <cstdint>
#include <span>

namespace quillo {

struct EngineContext;

// Reads the first table whole into FatTable (and the raw FAT16/FAT12 copy).
bool ReadFat(EngineContext& ctx);
// Re-reads the sectors holding entries first..first+count-1 (FAT12: all).
bool RereadFatRange(EngineContext& ctx, int32_t first, int32_t count);
// Writes the sectors holding entries first..first+count-1 to both copies
// (FAT12: the whole table). Nothing is written when the table head is bad.
bool WriteFatRange(EngineContext& ctx, int32_t first, int32_t count);
// Re-reads, clears (keeping the top four bits) and writes back every range.
bool FreeRanges(EngineContext& ctx, std::span<const int32_t> starts,
                std::span<const int32_t> counts);
// True (bad) when a FAT16 or FAT32 table does not start with 0x0FFFFFF8;
// stops the run with "FAT error".
bool CheckFatHead(EngineContext& ctx);

}  // namespace quillo
