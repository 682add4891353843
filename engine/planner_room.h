#pragma once
// Room for a fragmented file that no gap holds once packing has settled:
// the free space is then often split only by a few contiguous files, and
// moving those elsewhere joins it into one gap.
#include <cstdint>

namespace quillo {

struct Planner;

// For each fragmented file still waiting, the largest first: when no gap
// holds it, clears a stretch of the volume for it by moving the contiguous
// files in that stretch to gaps outside it (making room for one of those in
// turn when needed), then moves the file there. True when a file was placed.
bool MakeRoomForWaitingFiles(Planner& planner);

}  // namespace quillo
