#include "disk/chain_form.h"

#include <vector>

#include "disk/fat_codec.h"

namespace quillo {
namespace {

bool IsLink(uint32_t v) { return v != 0 && v < kFatFirstReserved; }
bool InChain(uint32_t v) { return IsLink(v) || v >= kFatEndOfChain; }

}  // namespace

bool ChainsWellFormed(std::span<const uint32_t> table, uint32_t maxCluster) {
    if (table.size() <= maxCluster) return false;
    std::vector<uint8_t> hasPredecessor(static_cast<size_t>(maxCluster) + 1, 0);
    for (uint32_t c = 2; c <= maxCluster; ++c) {
        const uint32_t v = table[c] & kFatMask;
        if (!IsLink(v)) continue;
        if (v < 2 || v > maxCluster || !InChain(table[v] & kFatMask) || hasPredecessor[v] != 0) return false;
        hasPredecessor[v] = 1;
    }
    // With one predecessor at most, a walk from a head never comes back, and
    // a circle is a set of clusters that no head leads into: count what the
    // heads reach.
    uint32_t inChains = 0;
    uint32_t reached = 0;
    for (uint32_t c = 2; c <= maxCluster; ++c) {
        if (!InChain(table[c] & kFatMask)) continue;
        ++inChains;
        if (hasPredecessor[c] != 0) continue;
        for (uint32_t n = c;; n = table[n] & kFatMask) {
            ++reached;
            if (!IsLink(table[n] & kFatMask)) break;
        }
    }
    return reached == inChains;
}

}  // namespace quillo
