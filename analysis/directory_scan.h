#pragma once
// The directory tree scan: every folder read from its sectors, depth first
// from the root, each entry turned into a file record.
#include <cstdint>
#include <string>

namespace quillo {

struct EngineContext;

// The whole scan, from the root folder.
void ScanTree(EngineContext& ctx);

}  // namespace quillo
