#pragma once
// What the size-distribution chart shows: its title, its count scale and one
// bar per size class. The window turns this into pixels.
#include <array>
#include <cstdint>
#include <string>

namespace quillo {

constexpr int kSizeClassCount = 14;

struct SizeChartBar {
    int32_t count = 0;
    int colour = 0;          // index into the 16-colour standard palette
    std::string label;       // printed under the bar
    bool labelLowered = false;  // one text line lower, so neighbours never touch
};

struct SizeChart {
    std::string title;          // caption + " by size in kb"
    int32_t scaleMaximum = 1;   // count at the top grid line
    int32_t scaleStep = 1;      // count between grid lines
    int32_t scaleSteps = 1;     // grid lines above the base line
    std::array<SizeChartBar, kSizeClassCount> bars;
};

// Rounds `maximum` up to a tidy scale top and sets `steps` to the number of
// grid steps; returns the count per step. A maximum of 0 gives a 0..1 scale.
int32_t NiceScale(int32_t& maximum, int32_t& steps);

// The chart of `histogram` (one count per size class) under `caption`
// ("File distribution", "Allocation chains").
SizeChart BuildSizeChart(const int32_t (&histogram)[kSizeClassCount], const std::string& caption);

// Height of a bar in an area `areaHeight` units tall. A bar of height 0 is
// drawn one unit high in the background colour.
int32_t BarHeight(const SizeChart& chart, int sizeClass, int32_t areaHeight);

}  // namespace quillo
