#include "common/stop.h"

#include "common/engine_context.h"

namespace quillo {

void StopWithError(EngineContext& ctx, const std::string& message) {
    ctx.run.ErrorStop = 1;
    ctx.run.StopRequested = true;
    ctx.run.StructuralError = true;
    ctx.run.ErrorMessage = message;
}

}  // namespace quillo
