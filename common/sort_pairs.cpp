#include "common/sort_pairs.h"

#include <utility>

#include "common/run_view.h"

namespace quillo {

void SortPairs(std::vector<SortPair>& table, int32_t n, RunView* view) {
    for (int32_t gap = n / 2; gap >= 1; gap /= 2) {
        int32_t limit = n - gap;
        int32_t lastSwap;
        do {
            lastSwap = 0;
            for (int32_t i = 1; i <= limit; ++i) {
                if (table[i].key > table[i + gap].key) {
                    std::swap(table[i], table[i + gap]);
                    lastSwap = i;
                }
            }
            limit = lastSwap - gap;
        } while (lastSwap != 0);
        if (view) view->Yield();
    }
}

}  // namespace quillo
