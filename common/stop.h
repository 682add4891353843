#pragma once
// The common stop of a run for a structural error found on the volume.
#include <string>

namespace quillo {

struct EngineContext;

// Error stop, structural error, and the words shown after "Err=".
void StopWithError(EngineContext& ctx, const std::string& message);

}  // namespace quillo
