#pragma once
// Whether the chains of an allocation table are well formed, judged from the
// table alone: what a power cut may leave behind (lost chains) passes, what
// would lead a walk astray does not.
#include <cstdint>
#include <span>

namespace quillo {

// True when every link of `table` (widened entries, indices 0..maxCluster)
// leads to a cluster of the volume that is in use by a chain (a link or an
// end-of-chain mark, not free, bad or reserved), no cluster has two
// predecessors, and no chain runs in a circle.
bool ChainsWellFormed(std::span<const uint32_t> table, uint32_t maxCluster);

}  // namespace quillo
