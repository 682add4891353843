#pragma once
// The figures of a volume that a run's JSON summary gives, and a silent Check
// that reads them afresh after a Defragment, so that the summary describes
// the volume as the run left it.
#include <csignal>
#include <cstdint>
#include <optional>

namespace quillo {
struct EngineContext;
struct Options;
class DeviceProvider;
}  // namespace quillo

namespace quillo::cli {

class JsonObject;

struct VolumeFigures {
    int64_t files = 0;
    int64_t folders = 0;
    int64_t chains = 0;
    int64_t fragmentedFiles = 0;
    int64_t fragmentedClusters = 0;
    int64_t gaps = 0;  // free runs
    int64_t volumeSectors = 0;
    int64_t freeSectors = 0;
    int64_t lostSectors = 0;
    int64_t erasedEntries = 0;
};

// The figures an analysis left in the engine's state.
VolumeFigures FiguresOf(const EngineContext& ctx);
// Adds them as "files", "folders", ... "erased_entries".
void AddFigures(JsonObject& o, const VolumeFigures& figures);

// A Check of drive `letter` that prints and records nothing. Nullopt when it
// does not end cleanly (damage, a busy drive, a stop through `stopFlag`).
std::optional<VolumeFigures> CheckFigures(DeviceProvider& drives, const Options& options, char letter,
                                          const volatile std::sig_atomic_t* stopFlag);

}  // namespace quillo::cli
