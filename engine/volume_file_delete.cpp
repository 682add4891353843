#include "engine/volume_file_delete.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>

#include <algorithm>
#include <map>
#include <vector>

#include "analysis/chains.h"
#include "common/engine_context.h"
#include "common/little_endian.h"
#include "disk/dir_entry_layout.h"
#include "disk/fat_table.h"
#include "disk/sector_io.h"
#include "disk/volume_lock.h"
#include "engine/volume_folders.h"
#include "platform/config_paths.h"

namespace quillo {
namespace {

constexpr uint8_t kNotAPlainFile = kAttrReadOnly | kAttrHidden | kAttrSystem | kAttrVolumeLabel | kAttrFolder;

// FSInfo sector fields (FAT32).
constexpr int kFsInfoSectorOffset = 48;  // in the boot sector, 16 bits
constexpr uint32_t kFsInfoLeadSignature = 0x41615252;
constexpr int kFsInfoStructOffset = 484;
constexpr uint32_t kFsInfoStructSignature = 0x61417272;
constexpr int kFsInfoFreeCountOffset = 488;
constexpr int kFsInfoTrailOffset = 508;
constexpr uint32_t kFsInfoTrailSignature = 0xAA550000;
constexpr uint32_t kFreeCountUnknown = 0xFFFFFFFF;

bool SameEntry(const VolumeEntry& a, const VolumeEntry& b) {
    return a.index == b.index && a.firstCluster == b.firstCluster && a.size == b.size &&
           a.attributes == b.attributes && a.writeDate == b.writeDate && a.writeTime == b.writeTime &&
           a.longNamePieces == b.longNamePieces && a.shortName == b.shortName;
}

// Marks the entry and its long-name slots erased: slots in other sectors
// first, the entry's own sector last, each flushed before the next. A power
// cut in between leaves the file with part of its long name (shown by its
// short name), never long-name slots without their entry.
bool EraseEntry(EngineContext& ctx, uint32_t folder, const VolumeEntry& entry) {
    std::map<uint32_t, std::vector<int>> offsets;  // sector -> byte offsets
    for (int32_t slot = entry.index - entry.longNamePieces; slot <= entry.index; ++slot) {
        const uint32_t sector = FolderSlotSector(ctx, folder, slot);
        if (sector == 0) return false;
        offsets[sector].push_back((slot % (kSectorSize / kEntrySize)) * kEntrySize);
    }
    const uint32_t entrySector = FolderSlotSector(ctx, folder, entry.index);
    std::vector<uint32_t> order;
    for (const auto& [sector, unused] : offsets)
        if (sector != entrySector) order.push_back(sector);
    order.push_back(entrySector);
    std::vector<uint8_t> bytes(kSectorSize);
    for (uint32_t sector : order) {
        if (!ReadSectors(ctx, sector, 1, bytes.data())) {
            ReportDiskError(ctx);
            return false;
        }
        for (int offset : offsets[sector]) bytes[static_cast<size_t>(offset)] = kErasedEntry;
        if (!WriteSectors(ctx, sector, 1, bytes.data(), WriteKind::Directory)) {
            ReportDiskError(ctx);
            return false;
        }
        if (!OrderingPoint(ctx)) return false;
    }
    return true;
}

// The FSInfo sector of a FAT32 volume, when it has a valid one.
bool ReadFsInfo(EngineContext& ctx, uint32_t& sector, std::vector<uint8_t>& bytes) {
    if (!ctx.geo.IsFat32 || ctx.geo.BootRecord.size() < kSectorSize) return false;
    sector = le16(ctx.geo.BootRecord.data() + kFsInfoSectorOffset);
    if (sector == 0 || sector >= static_cast<uint32_t>(ctx.geo.ReservedSectors)) return false;
    bytes.assign(kSectorSize, 0);
    return ReadSectors(ctx, sector, 1, bytes.data()) && le32(bytes.data()) == kFsInfoLeadSignature &&
           le32(bytes.data() + kFsInfoStructOffset) == kFsInfoStructSignature &&
           le32(bytes.data() + kFsInfoTrailOffset) == kFsInfoTrailSignature;
}

// Writes the free-cluster hint of FSInfo, flushed. Nothing to do on FAT12/16.
bool SetFreeCount(EngineContext& ctx, uint32_t count) {
    uint32_t sector = 0;
    std::vector<uint8_t> bytes;
    if (!ReadFsInfo(ctx, sector, bytes)) return true;
    if (le32(bytes.data() + kFsInfoFreeCountOffset) == count) return true;
    put_le32(bytes.data() + kFsInfoFreeCountOffset, count);
    return WriteSectors(ctx, sector, 1, bytes.data(), WriteKind::AllocationTable) && OrderingPoint(ctx);
}

uint32_t CountFreeClusters(const EngineContext& ctx) {
    uint32_t free = 0;
    const size_t last = std::min<size_t>(static_cast<size_t>(ctx.geo.MaxCluster) + 1, ctx.fat.FatTable.size());
    for (size_t c = 2; c < last; ++c) free += (ctx.fat.FatTable[c] & 0x0FFFFFFF) == 0 ? 1 : 0;
    return free;
}

// The entry's clusters leave both tables; the free-count hint says
// "unknown" while they do, so no power cut leaves it wrong.
bool FreeClusters(EngineContext& ctx, const RunList& runs) {
    const std::vector<int32_t> starts(runs.RunStart.begin() + 1, runs.RunStart.end());
    const std::vector<int32_t> lengths(runs.RunLength.begin() + 1, runs.RunLength.end());
    return SetFreeCount(ctx, kFreeCountUnknown) && FreeRanges(ctx, starts, lengths) && OrderingPoint(ctx) &&
           SetFreeCount(ctx, CountFreeClusters(ctx));
}

}  // namespace

VolumeDeleteResult DeleteVolumeFile(EngineContext& front, const std::string& volumePath,
                                    const std::string& restorePath, const TrashProbe& probe) {
    if (volumePath.size() < 2) return VolumeDeleteResult::Changed;
    VolumeLook look(front, volumePath[0], 1);
    EngineContext& ctx = look.ctx();
    if (!look.ok()) return ctx.run.DriveBusy ? VolumeDeleteResult::Busy : VolumeDeleteResult::Failed;

    const std::optional<FoundEntry> found = FindVolumeEntry(ctx, volumePath);
    if (!found) return VolumeDeleteResult::Changed;
    const VolumeEntry& entry = found->entry;
    if ((entry.attributes & kNotAPlainFile) != 0 || entry.firstCluster == 0) return VolumeDeleteResult::Changed;
    RunList runs;
    const int64_t clusters = FAT_Frag(ctx, entry.firstCluster, runs);
    const int64_t needed = (int64_t{entry.size} + ctx.geo.BytesPerCluster - 1) / ctx.geo.BytesPerCluster;
    // A chain that does not fit the size: a file being written. Left alone.
    if (clusters == 0 || clusters != needed) return VolumeDeleteResult::Changed;

    // The copy first, on stable storage before the volume changes at all.
    const TrashOutcome copy = StoreInHomeTrash(restorePath, [&](int fd) {
        return ReadVolumeFile(ctx, entry, [fd](const uint8_t* bytes, size_t count) {
            return ::write(fd, bytes, count) == static_cast<ssize_t>(count);
        });
    }, probe);
    if (!copy.moved) return VolumeDeleteResult::Failed;

    if (!ctx.dev.Level0Held && (!EnterWriteLock(ctx, true) || ctx.run.RestartNeeded)) {
        DiscardFromTrash(copy);
        return VolumeDeleteResult::Busy;
    }
    // Under the lock: still the entry that was copied?
    const std::optional<FoundEntry> again = FindVolumeEntry(ctx, volumePath);
    if (!again || !SameEntry(again->entry, entry) || again->folderCluster != found->folderCluster) {
        YieldWriteLock(ctx);
        DiscardFromTrash(copy);
        return VolumeDeleteResult::Changed;
    }
    if (!EraseEntry(ctx, found->folderCluster, entry)) {
        YieldWriteLock(ctx);
        return VolumeDeleteResult::Failed;
    }
    // The entry is gone from the platter; the clusters it named follow.
    // Failing here leaves lost clusters, and the file is deleted all the same.
    FreeClusters(ctx, runs);
    YieldWriteLock(ctx);
    return VolumeDeleteResult::Deleted;
}

std::string VolumeRestoreFolder(const std::string& diskPath, char letter) {
    struct stat st {};
    const bool blockDevice = ::stat(diskPath.c_str(), &st) == 0 && S_ISBLK(st.st_mode);
    const size_t slash = diskPath.find_last_of('/');
    const std::string name = slash == std::string::npos ? diskPath : diskPath.substr(slash + 1);
    char absolute[PATH_MAX];
    const std::string folder = blockDevice || ::realpath(diskPath.c_str(), absolute) == nullptr
                                   ? HomeFolder() + "/" + name
                                   : std::string(absolute);
    return folder + "-" + std::string(1, letter);
}

std::string RestorePathFor(const std::string& restoreFolder, const std::string& volumePath) {
    std::string path = restoreFolder;
    size_t at = volumePath.find('\\');
    while (at != std::string::npos) {
        const size_t next = volumePath.find('\\', at + 1);
        std::string part = volumePath.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1);
        std::replace(part.begin(), part.end(), '/', '_');
        if (!part.empty()) path += "/" + part;
        at = next;
    }
    return path;
}

}  // namespace quillo
