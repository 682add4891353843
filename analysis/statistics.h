#pragma once
// The analysis of a volume as a whole, and what it reports: the size chart,
// the fragmentation gauge and the summary lines of the log.
#include <cstdint>
#include <string>

namespace quillo {

struct EngineContext;

// The analysis step of a pass: chain census, gap table, directory scan.
void AnalyseVolume(EngineContext& ctx);
// Writes the summary lines to the log.
void WriteSummary(EngineContext& ctx);

// What the fragmentation gauge shows. The window draws the outer bar, and
// the inner bar at the bottom of it with the height
// (outer height - 4 pixels) x barNumerator / barDenominator.
struct FragGauge {
    bool innerBarShown = false;
    int64_t barNumerator = 0;    // fragmented clusters
    int64_t barDenominator = 1;  // all clusters of the volume
    std::string caption;         // "  3% frag.", "45% frag."
};

FragGauge ComputeFragGauge(const EngineContext& ctx);

}  // namespace quillo
