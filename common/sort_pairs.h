#pragma once
// Shell sort of (key, value) records by signed key, used for the busy-file
// index and the mover's lists. Records live at indices 1..n; index 0 is unused.
#include <cstdint>
#include <vector>

namespace quillo {

class RunView;

struct SortPair {
    int32_t key = 0;
    int32_t value = 0;
};

// Sorts table[1..n] ascending by key, yielding to the view after each gap.
void SortPairs(std::vector<SortPair>& table, int32_t n, RunView* view);

}  // namespace quillo
