#pragma once
// Allocation chains: validating the table, following a chain into its runs,
// the chain census with the base painting of the map, and the gap table.
//
// Every walk is safe on a hostile table: an entry the table does not hold
// reads as free (a broken chain), a link to cluster 0 or 1 or beyond
// MaxCluster is a bad link, and no walk takes more than MaxCluster steps,
// so a cycle reached from a directory entry ends as "Bad cluster #".
#include <cstdint>

#include "common/engine_state.h"

namespace quillo {

struct EngineContext;

// Follows the chain from `first` into runs. Returns its cluster count; 0 for
// an empty chain or a broken one (which stops the run with "Bad cluster #").
// A bad or reserved value ends the chain like an end-of-chain mark. Past
// 32000 runs the run stops with "Fragments > 32000" (not structural) while
// the walk still collects every run.
int32_t FAT_Frag(EngineContext& ctx, uint32_t first, RunList& runs);
// Fragment count of the chain (1..255), with its cluster count in `count`;
// 0 and a structural stop when the chain is broken, which here includes a
// chain running into a bad or reserved value.
uint8_t Fragmented(EngineContext& ctx, uint32_t first, int32_t& count);
// Paints every cluster of the chain with `category`.
void MarkChain(EngineContext& ctx, uint32_t first, int category);
// Builds SuccessorSeen; stops on a link beyond the volume or a cross-link.
void CheckCrossLinks(EngineContext& ctx);
// Counts and paints every chain; returns the number of chains. Needs the
// SuccessorSeen of CheckCrossLinks and a sized map.
int32_t ScanChains(EngineContext& ctx);
// Rebuilds the gap table (the maximal free runs) from the allocation table.
// `fresh` starts from room for 500 gaps, otherwise from the present room.
void BuildGapTable(EngineContext& ctx, bool fresh);

}  // namespace quillo
