#pragma once
// The size classes of the file-size histogram: limits doubling from 1 KB,
// with one eightfold step from 64 KB to 512 KB.
#include <cstdint>

namespace quillo {

// Class 0..lastClass of a size in bytes: the first class whose upper limit
// the size does not exceed, lastClass when it exceeds them all; 0 when
// lastClass is below 1.
int SizeClass(int64_t bytes, int lastClass);

}  // namespace quillo
