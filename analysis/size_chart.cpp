#include "analysis/size_chart.h"

namespace quillo {
namespace {

// Bar colours repeat every eight classes.
constexpr int kBarColours[8] = {9, 11, 13, 10, 12, 14, 6, 4};

// Each class's upper limit in kilobytes, "k" standing for 1024 kilobytes;
// class 7 jumps from 64 kB to half a "k", and class 13 has no limit but
// continues the doubling for its label.
constexpr const char* kBarLabels[kSizeClassCount] = {
    "1", "2", "4", "8", "16", "32", "64", ".5k", "1k", "2k", "4k", "8k", "16k", "32k"};

}  // namespace

int32_t NiceScale(int32_t& maximum, int32_t& steps) {
    if (maximum == 0) {
        maximum = 1;
        steps = 1;
        return 1;
    }
    int32_t unit = 100000;
    while (unit > 10 && maximum <= unit) unit /= 10;
    // Raised to a multiple of the unit; computed wide so that a count near
    // the 32-bit limit cannot wrap.
    const int64_t top = (static_cast<int64_t>(maximum) + unit - 1) / unit * unit;
    maximum = static_cast<int32_t>(top > INT32_MAX ? INT32_MAX : top);
    steps = 5;
    return maximum / 5;
}

SizeChart BuildSizeChart(const int32_t (&histogram)[kSizeClassCount], const std::string& caption) {
    SizeChart chart;
    chart.title = caption + " by size in kb";
    int32_t largest = 0;
    for (int k = 0; k < kSizeClassCount; ++k) {
        SizeChartBar& bar = chart.bars[k];
        bar.count = histogram[k];
        bar.colour = kBarColours[k % 8];
        bar.label = kBarLabels[k];
        bar.labelLowered = k % 2 == 1;
        if (bar.count > largest) largest = bar.count;
    }
    chart.scaleMaximum = largest;
    chart.scaleStep = NiceScale(chart.scaleMaximum, chart.scaleSteps);
    return chart;
}

int32_t BarHeight(const SizeChart& chart, int sizeClass, int32_t areaHeight) {
    if (sizeClass < 0 || sizeClass >= kSizeClassCount || chart.scaleMaximum <= 0) return 0;
    const int64_t count = chart.bars[sizeClass].count;
    return static_cast<int32_t>(count * areaHeight / chart.scaleMaximum);
}

}  // namespace quillo
