#pragma once
// The engine's shared state, grouped by module. One EngineContext owns all of
// it; nothing here is global, so every test builds its own.
#include <cstdint>
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
};

// The run log as the engine keeps it; the view shows the same lines.
struct LogState {
    bool LogEnabled = true;
    std::vector<std::string> lines;
    std::string LogPath;
};

}  // namespace quillo
