#include "analysis/size_classes.h"

namespace quillo {

int SizeClass(int64_t bytes, int lastClass) {
    // Limits stop growing well below overflow; no real class list gets near.
    constexpr int64_t kLimitCeiling = INT64_C(1) << 60;
    int64_t limit = 1024;
    int k = 0;
    while (k <= lastClass - 1) {
        if (bytes <= limit) return k;
        if (limit < kLimitCeiling) {
            limit *= 2;
            if (k == 6) limit *= 4;  // 64 KB straight to 512 KB
        }
        ++k;
    }
    return k;
}

}  // namespace quillo
