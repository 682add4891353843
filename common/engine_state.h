#pragma once
// The engine's shared state, grouped by module. One EngineContext owns all of
// it; nothing here is global, so every test builds its own.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/sort_pairs.h"

namespace quillo {

class VolumeDevice;

// Mode flags set by the front end before a run, and the outcome flags the
// engine leaves for the end-of-run message.
struct RunState {
    int16_t RunMode = -1;        // negative: Check; positive: Defragment
    bool ScanFiles = false;      // walk the directory tree (false: map-only look)
    std::string DriveString;     // "C:"
    std::string RootPath;        // "C:\"
    int DriveMenuIndex = 0;

    bool StopRequested = false;
    bool UserAbort = false;
    int ErrorStop = 0;           // 1 while a run stops because of an error
    bool StructuralError = false;
    std::string ErrorMessage;
    std::string ErrorSource;
    bool InternalError = false;
    bool OutOfMemory = false;
    bool RestartNeeded = false;
    bool DriveBusy = false;
    std::string BusyReason;      // the device's words on what holds it, for the busy message
    bool DetectBusy = false;
    bool DefragPhase = false;
    bool DiskIoFailed = false;
    bool MapRepaintPending = false;  // a map redraw waits for the lock to come down
};

// The open volume device and the lock levels held on it.
struct DeviceState {
    VolumeDevice* DeviceHandle = nullptr;  // null: closed
    int DriveIndex = -1;                   // 0 for A:, 2 for C:
    bool ExtendedIo = true;                // the extended transfers exist here
    int LastLockLevel = -1;
    bool Level0Held = false;
    bool LockRaised = false;
    bool OthersWritesDenied = false;
    int LockFlagState = -1;
    int32_t SectorCursor = 0;
    std::string SwapFilePath;  // found once and kept across runs; empty on Linux

    // Files other programs hold open, which the mover must not touch.
    int BusyFileCount = 0;
    bool BusyListRefreshed = false;
    std::vector<std::string> BusyFileNames;  // indices 1..count
    std::vector<int16_t> BusyFileTypes;
    std::vector<SortPair> BusyFileIndex;     // (path hash, index), sorted by hash
};

// Geometry of the open volume, recomputed at every opening.
struct Geometry {
    std::vector<uint8_t> BootRecord;  // sector 0, kept whole (512 bytes)
    std::string FileSystemName;       // "FAT12", "FAT16", "FAT32"
    bool IsFat32 = false;
    int32_t BytesPerSector = 512;
    int32_t SectorsPerCluster = 0;
    int32_t BytesPerCluster = 0;
    int32_t Fat32EntriesPerSector = 128;
    int32_t Fat16EntriesPerSector = 256;
    int32_t DirEntriesPerSector = 16;
    int32_t FreeClusters = 0;
    int32_t TotalClusters = 0;
    int32_t MaxCluster = 0;            // TotalClusters + 1
    int32_t VolumeSectors = 0;         // TotalClusters x SectorsPerCluster
    int32_t DataStartMinus1 = 0;       // cluster n starts at (n-2) x spc + this + 1
    uint16_t RootEntryCount = 0;
    int32_t ClustersPer4K = 0;
    // Boot sector fields the table and directory code locate things by.
    int32_t ReservedSectors = 0;
    int32_t NumberOfFats = 0;
    int32_t SectorsPerFat = 0;
    uint32_t RootCluster = 0;          // FAT32 only
    std::optional<uint32_t> VolumeSerial;  // names the volume wherever it is attached
    bool MarkedDirty = false;          // not cleanly unmounted, as read by this pass
    // Size limits derived from the preferences at every opening.
    int32_t HugeDefragLimit = 0x7FFFFFFF;
    int32_t HugePackLimit = 0x7FFFFFFF;
    int32_t HugeListLimit = 0x7FFFFFFF;

    // FAT12 when not FAT32 and fewer than 4086 clusters.
    bool IsFat12() const { return !IsFat32 && TotalClusters < 4086; }
};

// The allocation table in memory: 32-bit entries for every FAT type, plus the
// raw FAT16 words or FAT12 bytes exactly as on disk.
struct FatBuffers {
    std::vector<uint32_t> FatTable;
    std::vector<uint16_t> Fat16Raw;
    std::vector<uint8_t> Fat12Raw;
    // FAT12: the second copy was written and no ordering point followed yet.
    bool SecondCopyUnflushed = false;
    // FAT12, at the last whole read: the copies differ; the second one is
    // well formed; it is the one in FatTable. A power cut while one copy was
    // being written leaves that copy torn and the other whole.
    bool CopiesDiffer = false;
    bool SecondCopyWellFormed = false;
    bool UsingSecondCopy = false;
    // Take the second copy whenever it is well formed: the first led the
    // analysis into damage. Kept across the passes of one run.
    bool PreferSecondCopy = false;
};

// Map cell categories, with their legend words.
enum CellCategory : uint8_t {
    kCellNone = 0,
    kCellPartial = 1,     // "Partial"
    kCellFixed = 4,       // "Fixed"
    kCellFiles = 9,       // "Files"
    kCellMoving = 10,     // "Moving"
    kCellFragments = 12,  // "Fragments"
    kCellTo = 14,         // "To"
    kCellEmpty = 15,      // "Empty"
};
// Paint Empty, but only where a cell is not painted yet.
constexpr int kCellEmptyIfUnpainted = 128 + kCellEmpty;

// A chain as its runs of consecutive clusters, indices from 1 (0 unused).
struct RunList {
    std::vector<int32_t> RunStart{0, 0};
    std::vector<int32_t> RunLength{0, 0};
    int32_t Count() const { return static_cast<int32_t>(RunStart.size()) - 1; }
};

// The allocation chains, the free runs and the per-cell map.
struct ChainState {
    std::vector<uint8_t> SuccessorSeen;  // 1 when some entry links to the cluster
    uint32_t Fat32RootCluster = 0;
    uint32_t SwapFirstCluster = 0;
    uint32_t SwapClusterCache = 0;       // kept across passes
    int32_t ChainCount = 0;
    int32_t AllocatedClusters = 0;
    int32_t OwnedClusters = 0;
    int32_t FragmentedFiles = 0;
    int32_t FragmentedClusters = 0;

    // Maximal free runs in disk order, indices 1..GapCount.
    std::vector<int32_t> GapStart;
    std::vector<int32_t> GapLength;
    int32_t GapCount = 0;
    int32_t GapCursor = 1;

    std::vector<uint8_t> MapCells;   // one category per display cell
    int32_t CellCount = 32000;       // cells that fit the map window
    int32_t ClustersPerCell = 1;
};

// One directory entry as the scan found it.
struct FileRecord {
    uint32_t FirstCluster = 0;
    uint32_t Size = 0;          // files: bytes; folders: clusters x cluster size
    uint8_t Attributes = 0;
    uint8_t Fragments = 0;      // runs 1..255, 0 without clusters
    int32_t ParentRecord = 0;   // record of the folder holding the entry; 0 the root
    int32_t EntryIndex = 0;     // 32-byte slot within the folder, from 0
};

struct FolderEntry {
    int32_t Parent = -1;
    std::string Name;
};

constexpr uint8_t kAttrReadOnly = 1;
constexpr uint8_t kAttrHidden = 2;
constexpr uint8_t kAttrSystem = 4;
constexpr uint8_t kAttrVolumeLabel = 8;
constexpr uint8_t kAttrFolder = 16;
constexpr uint8_t kRecordFixed = 255;

// The directory tree: records, folders and what the scan counted.
struct ScanState {
    std::vector<FileRecord> FileRecords;  // 0 is the root folder
    std::vector<int32_t> RecordFolder;
    std::vector<uint8_t> RecordFixed;
    std::vector<uint8_t> RecordInUse;
    int32_t RecordCount = 0;
    std::vector<FolderEntry> FolderTable;
    int32_t FolderTableTop = 0;
    std::vector<int32_t> FoldersWithErased;  // indices 1..count
    int32_t FoldersWithErasedCount = 0;
    // Folders whose ".." names another folder than their parent: what a
    // power cut leaves while a folder with subfolders moves.
    struct StaleDotDot {
        int32_t record;       // the folder's own record
        int32_t folderIndex;  // its folder table entry
    };
    std::vector<StaleDotDot> StaleDotDots;

    int32_t FileCount = 0;
    int32_t FolderCount = 0;
    int32_t EmptyFiles = 0;
    int32_t ErasedEntries = 0;
    int32_t FixedCount = 0;
    int32_t LeftFragmentedCount = 0;
    int32_t ItemsScanned = 0;
    int32_t TempFilesSectors = 0;
    int32_t CookiesSectors = 0;
    int32_t DownloadedSectors = 0;
    int32_t InternetTempSectors = 0;
    int32_t RecycleSectors = 0;
    int32_t SizeHistogram[14] = {};

    // Folders of the housekeeping categories, with trailing backslash where
    // named so; empty where there is no such folder.
    std::string TempPath;
    std::string TempFolder;
    std::string CookiesFolder;
    std::string DownloadedProgramsFolder;
    std::string InternetCacheFolder;
    std::string RecyclePath;
};

// The lists of the last run that the window shows.
struct RunLists {
    struct FragmentedItem {
        std::string line;   // path, tab, note, tab, size
        bool isFolder = false;
    };
    std::vector<FragmentedItem> Fragmented;  // lstInuse
    std::vector<std::string> Large;          // lstLarge
    int32_t LargeListWidth = 0;
};

// The defragment phase: the mover's tables and the planner's.
struct DefragState {
    // Mover.
    std::vector<uint8_t> CopyBuffer;       // staging buffer of the data copy
    std::vector<SortPair> MoveTable;       // (new first cluster, record), 1..MoveCount-1
    int32_t MoveCount = 1;                 // one more than the entries in MoveTable
    int32_t MovedCount = 0;                // files moved in this run
    int32_t MovedClusters = 0;             // clusters moved in this run
    // Flush between the ordered steps of a move. Off only to measure what
    // the flushes cost; never off in a real run.
    bool FlushBetweenSteps = true;
    int64_t Flushes = 0;                   // flushes made by moves in this run
    // When set, the move writes these bytes (a compacted folder of the same
    // size) at the destination instead of copying the old clusters.
    const std::vector<uint8_t>* ReplacementData = nullptr;

    // Planner.
    int32_t PackClassLimit[83] = {};       // indices 1..82
    std::vector<SortPair> FragList;        // (first cluster, record), 1..count
    std::vector<SortPair> Candidates;      // (first cluster at pass start, record), 1..count
    int32_t BucketHead[84] = {};
    std::vector<int32_t> BucketNext;       // parallel to Candidates
    int32_t PackFloor = 0;
    int32_t BestFitSize = 0;
    int32_t PendingFragmentedCount = 0;
    int32_t SmallestUnplaced = 0x7FFFFFFF;
    bool BigGapAppeared = false;
    // A big gap appeared while packing: the fragmented files that found no
    // gap are placed once the packing has settled.
    bool DefragDeferred = false;
    int32_t NextRedrawAt = 0;
};

// The run log as the engine keeps it; the view shows the same lines.
struct LogState {
    bool LogEnabled = true;
    std::vector<std::string> lines;
    std::string LogPath;
};

}  // namespace quillo
