#pragma once
// Folder packing: folders that hold erased entries are compacted so that
// their live entries come first. Runs only under the exclusive lock, after
// the files have been packed. A compacted folder is written to a free run
// and switched to by the mover, never rewritten in place.
#include <cstdint>
#include <vector>

namespace quillo {

struct EngineContext;

// The last stage of the defragment phase; the caller checks that the
// exclusive lock is held and that the scan saw erased entries.
void PackFolders(EngineContext& ctx);
// One folder, by record; the root folder is never packed.
void PackFolder(EngineContext& ctx, int32_t record);
// Live entries first, in order, then end-of-folder marks up to the old one;
// what follows the old mark is kept. `newSlot` maps old slots to new ones
// (-1 for erased and unused slots). True when changed.
bool CompactFolderEntries(std::vector<uint8_t>& folder, std::vector<int32_t>& newSlot);

}  // namespace quillo
