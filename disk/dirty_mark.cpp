#include "disk/dirty_mark.h"

#include "common/engine_state.h"

namespace quillo {
namespace {

// Allocation entry 1: the bit that stays set while the volume is clean.
constexpr uint32_t kFat16CleanBit = 0x8000;
constexpr uint32_t kFat32CleanBit = 0x08000000;
// Boot sector: the state byte, which exists only behind the extended
// signature of its block.
constexpr int kFat16State = 37;
constexpr int kFat16Signature = 38;
constexpr int kFat32State = 65;
constexpr int kFat32Signature = 66;
constexpr uint8_t kExtendedSignature = 0x29;
constexpr uint8_t kStateDirty = 0x01;

}  // namespace

bool VolumeMarkedDirty(const Geometry& geo, const std::vector<uint32_t>& fatTable) {
    const std::vector<uint8_t>& boot = geo.BootRecord;
    const int state = geo.IsFat32 ? kFat32State : kFat16State;
    const int signature = geo.IsFat32 ? kFat32Signature : kFat16Signature;
    if (boot.size() > static_cast<size_t>(signature) && boot[signature] == kExtendedSignature &&
        (boot[state] & kStateDirty) != 0)
        return true;
    if (geo.IsFat12() || fatTable.size() < 2) return false;  // FAT12 has no clean bit
    return (fatTable[1] & (geo.IsFat32 ? kFat32CleanBit : kFat16CleanBit)) == 0;
}

}  // namespace quillo
