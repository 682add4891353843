#pragma once
// Files that other programs hold open and the mover must leave alone,
// indexed by a hash of their paths.
#include <cstdint>
#include <string>

namespace quillo {

struct EngineContext;

// Rebuilds the busy-file table from the device's open-file enumeration.
int EnumerateBusyFiles(EngineContext& ctx);
// Kind of opening of `path` in the table (1..3), or 0 when it is not listed.
int LookupBusyFile(const EngineContext& ctx, const std::string& path);
// hash = hash x 3 + byte, wrapping in 32 bits.
int32_t PathHash(const std::string& path);

}  // namespace quillo
