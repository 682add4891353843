#pragma once
// The allocation table of the open volume in memory: read whole once per
// pass, re-read by range before a change, written back by whole sectors to
// the first copy and then the second.
#include <cstdint>
#include <span>

namespace quillo {

struct EngineContext;

// Reads the first table whole into FatTable (and the raw FAT16/FAT12 copy).
// FAT12 reads both copies and, when they differ, takes the one whose chains
// are well formed (FatBuffers says which).
bool ReadFat(EngineContext& ctx);
// Re-reads the sectors holding entries first..first+count-1 (FAT12: all).
bool RereadFatRange(EngineContext& ctx, int32_t first, int32_t count);
// Writes the sectors holding entries first..first+count-1 to both copies
// (FAT12: the whole table, one copy after the other with an ordering point
// between). Nothing is written when the table head is bad.
bool WriteFatRange(EngineContext& ctx, int32_t first, int32_t count);
// Writes first..first+count-1, which FatTable now holds as new chains, to
// both copies so that a power cut at any point leaves them, whole or in
// part, as well-formed chains: no link into a table sector not yet written.
// Costs an ordering point when a link crosses a table sector.
bool WriteNewChain(EngineContext& ctx, int32_t first, int32_t count);
// Re-reads, clears (keeping the top four bits) and writes back every range,
// in the same two steps: a power cut leaves the chain, freed in part, as
// well-formed lost chains.
bool FreeRanges(EngineContext& ctx, std::span<const int32_t> starts,
                std::span<const int32_t> counts);
// True (bad) when a FAT16 or FAT32 table does not start with 0x0FFFFFF8;
// stops the run with "FAT error".
bool CheckFatHead(EngineContext& ctx);

}  // namespace quillo
