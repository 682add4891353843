#pragma once
// Opening the selected volume for a run: its file system, sector and cluster
// sizes, where the tables and the data area lie, and the cluster totals.
#include <cstdint>
#include <string>

namespace quillo {

struct EngineContext;

// Reads the boot sector and sets the geometry. Called after AcquireVolume.
// False after reporting "Disk error or incompatible disk" (or silently when
// the boot sector cannot be read).
bool OpenVolume(EngineContext& ctx);
// Sets BytesPerSector, the per-sector entry counts and the cluster totals.
bool QueryFreeSpace(EngineContext& ctx, const std::string& rootPath, int32_t sectorsPerCluster);
// Clusters in a 64-bit byte count, as the free-space query reports them.
int32_t BytesToClusters(const EngineContext& ctx, uint64_t bytes, int32_t sectorsPerCluster);
// The size limits of defragmenting and packing, from the preferences.
void ComputeSizeLimits(EngineContext& ctx);

}  // namespace quillo
