#pragma once
// Allocation chains: validating the table, following a chain into its runs,
// the chain census with the base painting of the map, and the gap table.
#include <cstdint>

#include "common/engine_state.h"

namespace quillo {

struct EngineContext;

// Follows the chain from `first` into runs. Returns its cluster count; 0 for
// an empty chain or a broken one (which stops the run with "Bad cluster #").
int32_t FAT_Frag(EngineContext& ctx, uint32_t first, RunList& runs);
// Fragment count of the chain (1..255), with its cluster count in `count`;
// 0 and a structural stop when the chain is broken.
uint8_t Fragmented(EngineContext& ctx, uint32_t first, int32_t& count);
// Paints every cluster of the chain with `category`.
void MarkChain(EngineContext& ctx, uint32_t first, int category);
// Builds SuccessorSeen; stops on a link beyond the volume or a cross-link.
void CheckCrossLinks(EngineContext& ctx);
// Counts and paints every chain; returns the number of chains.
int32_t ScanChains(EngineContext& ctx);
// Rebuilds the gap table (the maximal free runs) from the allocation table.
void BuildGapTable(EngineContext& ctx, bool fresh);

}  // namespace quillo
