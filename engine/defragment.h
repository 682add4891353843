#pragma once
// The defragment phase: fragmented files made contiguous (largest first, each
// into the gap that fits it best), then files packed towards the start of
// the volume. Every move is MoveFile's.
#include <cstdint>

namespace quillo {

struct EngineContext;

// Once per pass of a Defragment run, after the analysis.
void Defragment(EngineContext& ctx);

}  // namespace quillo
