#pragma once
// The directory tree scan: every folder read from its sectors, depth first
// from the root, each entry turned into a file record.
#include <cstdint>
#include <string>

namespace quillo {

struct EngineContext;

// The whole scan, from the root folder: fills FileRecords and its parallel
// tables, the folder table, FoldersWithErased, the scan counters and the
// fragmented and large-file lists. Needs SuccessorSeen (CheckCrossLinks) and
// Fat32RootCluster (ScanChains); frees SuccessorSeen at its end.
void ScanTree(EngineContext& ctx);

// NAME.EXT of a 32-byte directory entry: both fields without their trailing
// blanks, the dot only when there is an extension. Bytes are kept as they are.
std::string ShortEntryName(const uint8_t* entry);
// Appends (parent, name) to the folder table; returns its index.
int32_t AddFolder(EngineContext& ctx, int32_t parent, const std::string& name);
// "C:\WINDOWS\SYSTEM": the folder's name after its ancestors', backslash separated.
std::string FolderPath(const EngineContext& ctx, int32_t index);

// The open-file probe of the newest record (RecordCount): registry hives and
// files other programs hold are left in place; a file mapped read-only is
// marked in RecordInUse.
void CheckOpenFile(EngineContext& ctx, const std::string& folderPath, const std::string& name);
// Leave a record in place (fixed) because another program uses it, or because
// it is larger than the user lets the optimiser move; a fragmented one is
// listed with " (busy)" or " (big)".
void MarkBusy(EngineContext& ctx, int32_t record, const std::string& name);
void MarkBig(EngineContext& ctx, int32_t record, const std::string& name);
// One line of the fragmented-files list: path, tab, note, tab, size.
void AddFragmentedItem(EngineContext& ctx, const std::string& path, int64_t sizeBytes,
                       const std::string& note, bool isFolder);
// Adds a file's space to the housekeeping categories its path falls in.
// `writeDate` is the entry's DOS write date; 0 when it cannot be read.
void ClassifyFile(EngineContext& ctx, const std::string& path, int64_t sizeBytes,
                  uint16_t writeDate);
// The scan's checkpoint every 64 items: progress values, the lock check and
// the size chart every 1024 items, and the window's events.
void ProgressTick(EngineContext& ctx);

}  // namespace quillo
