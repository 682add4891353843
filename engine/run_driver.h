#pragma once
// The run driver: one Check, Defragment or map-only pass of the selected
// drive from start to end, repeated when another program changed the volume.
#include <functional>
#include <string>

namespace quillo {

struct EngineContext;

// The defragment phase of a Defragment run: Defragment unless a test
// substitutes its own.
using DefragmentPhase = std::function<void(EngineContext&)>;

// Reads RunMode, ScanFiles, DriveString and RootPath; leaves the tables, the
// log and the outcome flags. Every exit releases the volume.
void RunDrive(EngineContext& ctx, const DefragmentPhase& defragment = {});
// Releases the volume, frees the large tables and writes the stop line.
void EndRun(EngineContext& ctx);
// "Error stop" as an error line, or "(User stop)".
void WriteStopLine(EngineContext& ctx);

}  // namespace quillo
