#include "common/sort_pairs.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace quillo {
namespace {

TEST(SortPairs, SortsIndicesOneToNAndLeavesSlotZero) {
    std::mt19937 rng(7);
    for (int n : {0, 1, 2, 3, 17, 100, 1001}) {
        std::vector<SortPair> table(n + 1);
        table[0] = {123456, -1};
        for (int i = 1; i <= n; ++i)
            table[i] = {static_cast<int32_t>(rng()) , i};  // signed keys, negatives included
        std::vector<SortPair> expected(table.begin() + 1, table.end());
        SortPairs(table, n, nullptr);
        EXPECT_EQ(table[0].key, 123456);
        EXPECT_TRUE(std::is_sorted(table.begin() + 1, table.end(),
                                   [](auto& a, auto& b) { return a.key < b.key; }));
        // Same multiset of records: values still travel with their keys.
        auto byValue = [](auto& a, auto& b) { return a.value < b.value; };
        std::vector<SortPair> got(table.begin() + 1, table.end());
        std::sort(got.begin(), got.end(), byValue);
        std::sort(expected.begin(), expected.end(), byValue);
        for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i].key, expected[i].key);
    }
}

}  // namespace
}  // namespace quillo
