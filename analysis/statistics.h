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

}  // namespace quillo
