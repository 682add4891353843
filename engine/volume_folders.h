#pragma once
// Folders of an attached FAT volume read straight from its sectors, with the
// long names the volume itself stores: how the cleaner's lists look into
// volumes that no file system has mounted. Paths inside a volume read
// "C:\Docs\Letter.txt".
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/clock.h"
#include "common/engine_context.h"

namespace quillo {

struct VolumeEntry {
    std::string shortName;  // NAME.EXT as stored
    std::string longName;   // its long name, or the short name as shown
    uint8_t attributes = 0;
    uint32_t firstCluster = 0;
    uint32_t size = 0;
    uint16_t createTime = 0, createDate = 0, accessDate = 0, writeTime = 0, writeDate = 0;
    int32_t index = 0;           // its 32-byte slot within the folder
    int32_t longNamePieces = 0;  // the slots just before it that hold its long name
};

// A volume opened for the cleaner on an engine context of its own, so the
// front end's run state is left alone; released when it goes out of scope.
class VolumeLook {
public:
    // Opens drive `letter` as a run would: device and lock (`runMode` 1 asks
    // for the exclusive lock, as a Defragment), geometry, allocation table.
    // `view` (may be null) receives the engine's yields.
    VolumeLook(EngineContext& front, char letter, int16_t runMode = -1, RunView* view = nullptr);
    ~VolumeLook();
    VolumeLook(const VolumeLook&) = delete;
    VolumeLook& operator=(const VolumeLook&) = delete;

    bool ok() const { return ok_; }
    EngineContext& ctx() { return ctx_; }
    // Releases the volume now.
    void Release();

private:
    QuietView quiet_;
    SystemClock clock_;
    EngineContext ctx_;
    bool ok_ = false;
};

// The first cluster of the root folder: 0 for the fixed root of FAT12/16.
uint32_t RootFolderCluster(const EngineContext& ctx);

// Every entry of the folder at `first` that names a file or a folder (not
// erased, dot, label or long-name slots), in slot order. False when a read
// failed or the chain is broken; the context then holds the error.
bool ReadVolumeFolder(EngineContext& ctx, uint32_t first, std::vector<VolumeEntry>& entries);

// The sector that holds slot `index` of the folder at `first`; 0 when the
// folder is shorter.
uint32_t FolderSlotSector(EngineContext& ctx, uint32_t first, int32_t index);

struct FoundEntry {
    VolumeEntry entry;
    uint32_t folderCluster = 0;  // the folder holding it (0: fixed root)
    std::string longPath;        // "C:\Docs\Letter.txt"
};
// Finds a path: the drive part is skipped, each further component matches
// an entry's long or short name, letter case aside. Nullopt when a
// component is missing or not a folder where one is needed.
std::optional<FoundEntry> FindVolumeEntry(EngineContext& ctx, const std::string& path);

// Hands the file's bytes (as many as its size says) to `take`, chunk by
// chunk, in order. False when a read fails, the chain is shorter than the
// size, or `take` refuses.
bool ReadVolumeFile(EngineContext& ctx, const VolumeEntry& entry,
                    const std::function<bool(const uint8_t*, size_t)>& take);

// What Properties shows of a file inside a volume.
struct VolumeFileFacts {
    std::string longPath;
    int64_t size = 0;  // a folder: its clusters
    uint8_t attributes = 0;
    uint16_t createTime = 0, createDate = 0, accessDate = 0, writeTime = 0, writeDate = 0;
    std::vector<std::pair<int32_t, int32_t>> runs;  // (first cluster, clusters)
};
std::optional<VolumeFileFacts> ReadVolumeFileFacts(EngineContext& front, const std::string& path);

// A read-only copy of the file at `path`, extracted into a private folder
// (mode 0700) below the temporary folder, for opening; "" on failure.
std::string ExtractVolumeFile(EngineContext& front, const std::string& path);

// "mm/dd/yy" of a DOS date; "??/??/??" when it is no date.
std::string DosDateText(uint16_t date);
// "hh:mm:ss" of a DOS time.
std::string DosTimeText(uint16_t time);
// Folder path + "\" + name, without doubling the root's backslash.
std::string JoinVolumePath(const std::string& folder, const std::string& name);

}  // namespace quillo
