#include "analysis/directory_scan.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>
#include <string_view>
#include <vector>

#include "analysis/chains.h"
#include "analysis/entry_checks.h"
#include "analysis/long_names.h"
#include "analysis/size_classes.h"
#include "common/engine_context.h"
#include "common/little_endian.h"
#include "common/log.h"
#include "common/stop.h"
#include "disk/busy_files.h"
#include "disk/dir_entry_layout.h"
#include "disk/sector_io.h"
#include "disk/volume_lock.h"

namespace quillo {
namespace {

// Fields of a 32-byte directory entry.

constexpr uint8_t kDotEntry = '.';

constexpr size_t kRecordGrowth = 500;
constexpr size_t kFolderTableGrowth = 500;
constexpr size_t kErasedListGrowth = 200;
constexpr int32_t kItemsPerTick = 64;
constexpr int32_t kItemsPerLockCheck = 1024;
constexpr int kLastSizeClass = 13;
constexpr int64_t kLargeFileBytes = 5242880;
// A hostile folder chain may span the volume: it is read in pieces so the
// buffer never passes 1 MiB.
constexpr int64_t kMaxReadBytes = 1 << 20;
// No real tree comes near this; a deeper one is treated as damaged rather
// than recursed into until the stack runs out.
constexpr int kMaxFolderDepth = 1000;

const std::string kBusyNote = " (busy)";
const std::string kBigNote = " (big)";

// Adds without passing the 32-bit counters' top, which hostile sizes could.
void AddSaturated(int32_t& counter, int64_t amount) {
    counter = static_cast<int32_t>(std::min<int64_t>(int64_t{counter} + amount, INT32_MAX));
}

std::string UpperCased(const std::string& text) {
    std::string upper = text;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return upper;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// True when `path` lies inside `folder`: strictly longer and beginning with it.
bool InsideFolder(const std::string& path, const std::string& folder) {
    return !folder.empty() && path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0;
}

// Days since 1970-01-01 of a calendar date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<int64_t>(dayOfEra) - 719468;
}

// Whole calendar days from a DOS date to today (local time); -1 when the
// date is zero or not a date.
int64_t DaysBeforeToday(uint16_t dosDate) {
    const unsigned day = dosDate & 31;
    const unsigned month = (dosDate >> 5) & 15;
    const int64_t year = 1980 + (dosDate >> 9);
    static constexpr unsigned kMonthDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12 || day < 1 || day > kMonthDays[month - 1]) return -1;
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (month == 2 && day == 29 && !leap) return -1;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const int64_t today = DaysFromCivil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                                        static_cast<unsigned>(local.tm_mday));
    return today - DaysFromCivil(year, month, day);
}

// The temporary folder test of folders: on this drive and exactly TempFolder.
bool IsTempFolder(const EngineContext& ctx, const std::string& path) {
    const ScanState& scan = ctx.scan;
    return !scan.TempPath.empty() && !ctx.run.DriveString.empty() &&
           ctx.run.DriveString[0] == scan.TempPath[0] && scan.TempFolder == path;
}

// Makes room for record `index` in FileRecords and its parallel tables.
void EnsureRecordRoom(EngineContext& ctx, int32_t index) {
    ScanState& scan = ctx.scan;
    const size_t needed = static_cast<size_t>(index) + 1;
    if (scan.FileRecords.size() >= needed && scan.RecordFolder.size() >= needed &&
        scan.RecordFixed.size() >= needed &&
        (!ctx.run.DetectBusy || scan.RecordInUse.size() >= needed))
        return;
    const size_t grown = needed + kRecordGrowth;
    if (scan.FileRecords.size() < needed) scan.FileRecords.resize(grown);
    if (scan.RecordFolder.size() < needed) scan.RecordFolder.resize(grown, 0);
    if (scan.RecordFixed.size() < needed) scan.RecordFixed.resize(grown, 0);
    if (ctx.run.DetectBusy && scan.RecordInUse.size() < needed) scan.RecordInUse.resize(grown, 0);
}

void AppendFolderWithErased(ScanState& scan, int32_t record) {
    const size_t index = static_cast<size_t>(scan.FoldersWithErasedCount) + 1;
    if (scan.FoldersWithErased.size() <= index)
        scan.FoldersWithErased.resize(scan.FoldersWithErased.size() + kErasedListGrowth, 0);
    scan.FoldersWithErased[index] = record;
    scan.FoldersWithErasedCount = static_cast<int32_t>(index);
}

// Whether another program may write to the volume during this pass: only
// then can an entry honestly disagree with its chain (a file being written).
bool OthersMayWrite(const EngineContext& ctx) {
    return !ctx.dev.Level0Held && !ctx.dev.OthersWritesDenied;
}

// The structural stop for a damaged entry or folder, naming it.
void StopForDamage(EngineContext& ctx, const std::string& damage, const std::string& path) {
    StopWithError(ctx, damage + ": " + path);
}

void CountItem(EngineContext& ctx) {
    ++ctx.scan.ItemsScanned;
    if (ctx.scan.ItemsScanned % kItemsPerTick == 0) ProgressTick(ctx);
}

// Shared by MarkBusy and MarkBig, which differ in the note and in which
// case counts towards LeftFragmentedCount.
void LeaveInPlace(EngineContext& ctx, int32_t record, const std::string& name, bool big) {
    ScanState& scan = ctx.scan;
    FileRecord& rec = scan.FileRecords[record];
    if (rec.Fragments > 1) {
        if (big) ++scan.LeftFragmentedCount;
        if (ctx.run.DefragPhase) {
            const uint8_t first = name.empty() ? 0 : static_cast<uint8_t>(name[0]);
            if (first == 0 || first == kErasedEntry) {  // erased while the mover ran
                scan.RecordFixed[record] = kRecordFixed;
                if (!big) ++scan.LeftFragmentedCount;
                return;
            }
        }
        if (rec.FirstCluster != ctx.chains.SwapFirstCluster) {
            if (!big) ++scan.LeftFragmentedCount;
            AddFragmentedItem(ctx, FolderPath(ctx, scan.RecordFolder[record]) + "\\" + name, rec.Size,
                              big ? kBigNote : kBusyNote, (rec.Attributes & kAttrFolder) != 0);
        }
    }
    scan.RecordFixed[record] = kRecordFixed;
    ++scan.FixedCount;
}

// The open-file probe with the caller's scratch string for the looked-up path.
void ProbeOpenFile(EngineContext& ctx, const std::string& folderPath, const std::string& name,
                   std::string& scratch) {
    const int32_t record = ctx.scan.RecordCount;
    scratch.assign(folderPath);
    scratch += '\\';
    const size_t nameStart = scratch.size();
    for (unsigned char c : name) scratch += static_cast<char>(std::toupper(c));
    const std::string_view upperName(scratch.data() + nameStart, scratch.size() - nameStart);
    if (ctx.options.FixedRegistry && (upperName == "SYSTEM.DAT" || upperName == "USER.DAT")) {
        MarkBusy(ctx, record, name);
        return;
    }
    const int kind = LookupBusyFile(ctx, scratch);
    if (kind == 0) return;
    if (kind == 2) {  // mapped read-only: may stay where it is, but the mover must know
        if (static_cast<size_t>(record) < ctx.scan.RecordInUse.size())
            ctx.scan.RecordInUse[record] = kRecordFixed;
        return;
    }
    MarkBusy(ctx, record, name);
}

// One directory scan: the buffers and per-folder facts that live as long as
// the walk of the tree.
class TreeScan {
public:
    explicit TreeScan(EngineContext& ctx) : ctx_(ctx) {
        clusterClaimed_.assign(static_cast<size_t>(std::max(ctx.geo.MaxCluster, 1)) + 1, 0);
        longNames_.resize(ctx.scan.FolderTable.size());
        if (!longNames_.empty()) longNames_[0] = ctx.scan.FolderTable[0].Name;
    }

    void ScanFolder(uint32_t first, int32_t ownRecord, int32_t folderIndex, int depth);

private:
    // A folder found in the folder being read, scanned after it. Kept small:
    // a hostile folder may hold little else.
    struct Subfolder {
        uint32_t cluster;
        int32_t record;
        uint32_t longNameAt;      // in the folder's pool of long names (or shown short names)
        uint16_t longNameLength;
        uint8_t nameLength;
        char name[12];            // the short name, NAME.EXT
    };
    struct Subfolders {
        std::vector<Subfolder> list;
        std::string longNames;
    };
    enum class Next { Entry, EndOfFolder, Abort };

    Next ScanEntry(const uint8_t* entry, int32_t slot, int32_t ownRecord, int32_t folderIndex,
                   const std::string& folderPath, Subfolders& subfolders);
    // The record-making entry's checks: a sound short name, not used before
    // in its folder. False after stopping the run.
    bool NameIsSound(const uint8_t* entry);
    void AddSubfolder(Subfolders& subfolders, uint32_t cluster, int32_t record, const std::string& name,
                      const uint8_t* entry);
    void ListLargeItem(int32_t folderIndex, const uint8_t* entry, int64_t size);
    void NoteStaleDotDot(int32_t ownRecord, int32_t folderIndex, const uint8_t* firstSector);
    std::string LongFolderPath(int32_t index) const;

    EngineContext& ctx_;
    std::vector<uint8_t> buffer_;         // one piece of a folder run
    std::vector<uint8_t> clusterClaimed_;  // 1 for each first cluster an entry already named
    std::vector<std::string> longNames_;  // long name of each folder table entry
    LongNameCollector longName_;
    FolderNames names_;                   // of the folder being read
    std::string path_;                    // path of the current entry
    std::string scratch_;
};

void TreeScan::ScanFolder(uint32_t first, int32_t ownRecord, int32_t folderIndex, int depth) {
    EngineContext& ctx = ctx_;
    const Geometry& geo = ctx.geo;
    ScanState& scan = ctx.scan;
    Subfolders subfolders;
    const int32_t erasedAtEntry = scan.ErasedEntries;
    if (ownRecord == 0 && first != 0) clusterClaimed_[first] = 1;  // the FAT32 root

    const int64_t rootSectors =
        geo.BytesPerSector >= kEntrySize ? geo.RootEntryCount / (geo.BytesPerSector / kEntrySize) : 0;
    RunList runs;
    if (first != 0) {
        const int32_t clusters = FAT_Frag(ctx, first, runs);
        if (ctx.run.ErrorStop != 0) {
            ctx.run.StructuralError = true;
            return;
        }
        if (ownRecord == 0) {  // the FAT32 root: owned by no entry, never moved
            ctx.chains.OwnedClusters += clusters;
            MarkChain(ctx, first, kCellFixed);
            if (ctx.run.ErrorStop != 0) return;
        }
    }  // else the fixed root of FAT12/16: the one run of `runs`, read whole below

    const std::string folderPath = FolderPath(ctx, folderIndex);
    names_.Clear();
    const int64_t entriesPerSector = geo.BytesPerSector / kEntrySize;
    const int64_t maxPieceSectors = std::max<int64_t>(kMaxReadBytes / geo.BytesPerSector, 1);
    longName_.Reset();
    int64_t slot = 0;
    bool endOfFolder = false;
    for (int32_t k = 1; k <= runs.Count() && !endOfFolder; ++k) {
        // The fixed root of FAT12/16 is read whole, also when its size is not
        // a whole number of clusters (a 15-sector root with 2-sector clusters).
        const int64_t sectors =
            first == 0 ? rootSectors : int64_t{runs.RunLength[k]} * geo.SectorsPerCluster;
        const int64_t startSector =
            first == 0 ? int64_t{geo.ReservedSectors} + int64_t{geo.NumberOfFats} * geo.SectorsPerFat
                       : (int64_t{runs.RunStart[k]} - 2) * geo.SectorsPerCluster + geo.DataStartMinus1 + 1;
        for (int64_t done = 0; done < sectors && !endOfFolder; done += maxPieceSectors) {
            const int64_t pieceSectors = std::min(sectors - done, maxPieceSectors);
            const size_t pieceBytes = static_cast<size_t>(pieceSectors * geo.BytesPerSector);
            if (buffer_.size() < pieceBytes) buffer_.resize(pieceBytes);
            ctx.dev.SectorCursor = static_cast<int32_t>(startSector + done);
            if (!ReadBytesAtCursor(ctx, buffer_.data(), static_cast<uint32_t>(pieceBytes))) return;
            // A subfolder opens with its "." and "..": the mover rewrites
            // them in place when the folder or its parent moves.
            if (done == 0 && k == 1 && ownRecord != 0) {
                const std::string fault = DotEntriesFault(geo, buffer_.data(), first);
                if (!fault.empty()) {
                    StopForDamage(ctx, fault, folderPath);
                    return;
                }
                NoteStaleDotDot(ownRecord, folderIndex, buffer_.data());
            }
            if (done == 0 && ctx.run.ScanFiles) {
                ++scan.SizeHistogram[SizeClass(sectors * geo.BytesPerSector, kLastSizeClass)];
                CountItem(ctx);
                if (ctx.run.StopRequested) return;
            }
            const int64_t pieceEntries = pieceSectors * entriesPerSector;
            for (int64_t i = 0; i < pieceEntries; ++i) {
                if (ctx.run.StopRequested) return;
                const int32_t entrySlot = static_cast<int32_t>(slot + done * entriesPerSector + i);
                const Next next = ScanEntry(buffer_.data() + i * kEntrySize, entrySlot, ownRecord,
                                            folderIndex, folderPath, subfolders);
                if (next == Next::Abort) return;
                if (next == Next::EndOfFolder) {
                    endOfFolder = true;
                    break;
                }
            }
        }
        slot += sectors * entriesPerSector;
    }

    if (scan.ErasedEntries > erasedAtEntry) AppendFolderWithErased(scan, ownRecord);

    for (const Subfolder& sub : subfolders.list) {
        if (ctx.run.StopRequested) return;
        const int32_t index = AddFolder(ctx, folderIndex, std::string(sub.name, sub.nameLength));
        if (longNames_.size() <= static_cast<size_t>(index)) longNames_.resize(scan.FolderTable.size());
        longNames_[index].assign(subfolders.longNames, sub.longNameAt, sub.longNameLength);
        if (sub.cluster == 0) continue;
        if (depth + 1 > kMaxFolderDepth) {
            StopWithError(ctx, "Folder tree too deep");
            return;
        }
        ScanFolder(sub.cluster, sub.record, index, depth + 1);
    }
}

TreeScan::Next TreeScan::ScanEntry(const uint8_t* entry, int32_t slot, int32_t ownRecord,
                                   int32_t folderIndex, const std::string& folderPath,
                                   Subfolders& subfolders) {
    EngineContext& ctx = ctx_;
    const Geometry& geo = ctx.geo;
    ScanState& scan = ctx.scan;
    const uint8_t firstByte = entry[kNameOffset];
    const uint8_t attributes = entry[kAttributesOffset];
    if (firstByte == kEndOfFolder) return Next::EndOfFolder;
    if (firstByte == kErasedEntry) {
        ++scan.ErasedEntries;
        longName_.Reset();
        return Next::Entry;
    }
    if (firstByte == kDotEntry && slot < 2 && ownRecord != 0) {  // checked with the folder's first sector
        longName_.Reset();
        return Next::Entry;
    }
    if (attributes & kAttrVolumeLabel) {  // labels and long-name pieces are not records
        if (IsLongNamePiece(entry)) longName_.AddPiece(entry); else longName_.Reset();
        return Next::Entry;
    }
    const std::string name = ShortEntryName(entry);
    path_.assign(folderPath);
    path_ += '\\';
    path_ += name;
    if (!NameIsSound(entry)) return Next::Abort;

    const uint32_t cluster = ShortEntryCluster(geo, entry);
    // Cluster 1 does not exist either: numbering starts at 2.
    if (cluster > static_cast<uint32_t>(geo.MaxCluster) || cluster == 1) {
        StopWithError(ctx, "Bad Cluster #");
        return Next::Abort;
    }

    const int32_t record = ++scan.RecordCount;
    EnsureRecordRoom(ctx, record);
    FileRecord& rec = scan.FileRecords[record];
    rec = FileRecord{};
    rec.FirstCluster = cluster;
    rec.Size = le32(entry + kSizeOffset);
    rec.Attributes = attributes;
    rec.ParentRecord = ownRecord;
    rec.EntryIndex = slot;
    scan.RecordFolder[record] = folderIndex;
    scan.RecordFixed[record] = 0;
    if (ctx.run.DetectBusy) scan.RecordInUse[record] = 0;

    int32_t clusters = 0;
    if (cluster != 0) {
        // Tested before the walk: an entry pointing into the middle of a
        // chain may point into a loop that nothing else leads into.
        if (cluster >= ctx.chains.SuccessorSeen.size()) {
            StopWithError(ctx, "Bad cluster #");
            return Next::Abort;
        }
        // Starting inside another chain, or at the head of one that another
        // entry (or the root) owns: a cross-link. Owned once, each chain is
        // walked once, and an entry pointing back at a folder above it
        // cannot send the walk round forever.
        if (ctx.chains.SuccessorSeen[cluster] == 1 || clusterClaimed_[cluster] != 0) {
            StopWithError(ctx, "Crosslinked files");
            return Next::Abort;
        }
        clusterClaimed_[cluster] = 1;
        rec.Fragments = Fragmented(ctx, cluster, clusters);
        if (ctx.run.ErrorStop != 0) return Next::Abort;
        ctx.chains.OwnedClusters += clusters;
    } else {
        ++scan.EmptyFiles;
        rec.Fragments = 0;
    }

    const bool isFolder = (attributes & kAttrFolder) != 0;
    const int64_t entrySize = rec.Size;

    if (isFolder) {
        // A folder's size field is always 0 and its chain never empty; an
        // entry that breaks either may be a file with a flipped folder bit.
        if (cluster == 0 || entrySize != 0) {
            StopForDamage(ctx, cluster == 0 ? "Folder without clusters" : "Folder with a size", path_);
            return Next::Abort;
        }
    } else {
        // A chain longer or shorter than the size needs: a file another
        // program is writing, which stays where it is; with nobody else
        // writing, damage.
        const int64_t needed = entrySize == 0 ? 0 : (entrySize - 1) / geo.BytesPerCluster + 1;
        if (clusters != needed) {
            if (!OthersMayWrite(ctx)) {
                StopForDamage(ctx, "Size disagrees with the chain", path_);
                return Next::Abort;
            }
            scan.RecordFixed[record] = kRecordFixed;
            ++scan.FixedCount;
        }
    }
    auto fixed = [&] { return scan.RecordFixed[record] == kRecordFixed; };

    if (ctx.run.DetectBusy && !fixed()) ProbeOpenFile(ctx, folderPath, name, scratch_);

    if (ctx.run.RunMode >= 0) {
        if (rec.Fragments > 1 && !fixed() && entrySize > geo.HugeDefragLimit) MarkBig(ctx, record, name);
    } else {
        if ((attributes & (kAttrHidden | kAttrSystem | kAttrFolder)) == 0)
            ClassifyFile(ctx, path_, entrySize, le16(entry + kWriteDateOffset));
        if (rec.Fragments > 1 && !fixed()) {
            if (isFolder) {
                if (IsTempFolder(ctx, path_)) MarkBusy(ctx, record, name);
                if (!fixed()) AddFragmentedItem(ctx, path_, entrySize, "", true);
            } else {
                AddFragmentedItem(ctx, path_, entrySize, entrySize > geo.HugeListLimit ? kBigNote : "", false);
            }
        }
    }

    if (isFolder) {
        const int64_t folderBytes = int64_t{clusters} * geo.BytesPerCluster;
        rec.Size = static_cast<uint32_t>(std::min<int64_t>(folderBytes, UINT32_MAX));
        AddSubfolder(subfolders, cluster, record, name, entry);
        ++scan.FolderCount;
        if (ctx.run.DetectBusy && !fixed() && IsTempFolder(ctx, path_)) MarkBusy(ctx, record, name);
    } else if (ctx.run.ScanFiles) {
        ++scan.FileCount;
        ++scan.SizeHistogram[SizeClass(entrySize, kLastSizeClass)];
        CountItem(ctx);
        if (ctx.run.StopRequested) return Next::Abort;
    }

    if (fixed()) {
        MarkChain(ctx, cluster, kCellFixed);
        if (ctx.run.ErrorStop != 0) return Next::Abort;
    }

    if (rec.Size >= kLargeFileBytes) ListLargeItem(folderIndex, entry, rec.Size);
    longName_.Reset();
    return Next::Entry;
}

bool TreeScan::NameIsSound(const uint8_t* entry) {
    if (IsBadShortName(entry)) {
        StopForDamage(ctx_, "Bad file name", path_);
        return false;
    }
    if (!names_.Add(entry)) {
        StopForDamage(ctx_, "Name used twice", path_);
        return false;
    }
    return true;
}

void TreeScan::AddSubfolder(Subfolders& subfolders, uint32_t cluster, int32_t record,
                            const std::string& name, const uint8_t* entry) {
    Subfolder sub{cluster, record, 0, 0, 0, {}};
    sub.nameLength = static_cast<uint8_t>(std::min(name.size(), sizeof sub.name));
    std::copy_n(name.data(), sub.nameLength, sub.name);
    const std::string longName = longName_.NameFor(entry);
    sub.longNameAt = static_cast<uint32_t>(subfolders.longNames.size());
    sub.longNameLength = static_cast<uint16_t>(longName.size());
    subfolders.longNames += longName;
    subfolders.list.push_back(sub);
}

// The second entry of a folder is "..", naming the parent's first cluster (0
// for the root; the root's own cluster is accepted too on FAT32).
void TreeScan::NoteStaleDotDot(int32_t ownRecord, int32_t folderIndex, const uint8_t* firstSector) {
    const Geometry& geo = ctx_.geo;
    const uint8_t* dotDot = firstSector + kEntrySize;
    if (std::memcmp(dotDot, "..         ", kNameLength + kExtensionLength) != 0) return;
    const uint32_t named = ShortEntryCluster(geo, dotDot);
    const ScanState& scan = ctx_.scan;
    const int32_t parent = scan.FileRecords[ownRecord].ParentRecord;
    const uint32_t expected = parent == 0 ? 0 : scan.FileRecords[parent].FirstCluster;
    if (named == expected || (parent == 0 && geo.IsFat32 && named == geo.RootCluster)) return;
    ctx_.scan.StaleDotDots.push_back({ownRecord, folderIndex});
}

// A line of the large-file list: the long path, two blanks and the size.
void TreeScan::ListLargeItem(int32_t folderIndex, const uint8_t* entry, int64_t size) {
    const int32_t sectors = static_cast<int32_t>((size - 1) / ctx_.geo.BytesPerSector + 1);
    const std::string line =
        LongFolderPath(folderIndex) + "\\" + longName_.NameFor(entry) + "  " + FormatSize(sectors);
    ctx_.lists.Large.push_back(line);
    ctx_.view.AddLargeFile(line);
    ctx_.lists.LargeListWidth = std::max(ctx_.lists.LargeListWidth, ctx_.view.TextWidth(line));
}

// FolderPath with each folder's long name, as read from the volume.
std::string TreeScan::LongFolderPath(int32_t index) const {
    const std::vector<FolderEntry>& table = ctx_.scan.FolderTable;
    std::string path;
    while (index >= 0 && static_cast<size_t>(index) < table.size()) {
        const std::string& name =
            static_cast<size_t>(index) < longNames_.size() && !longNames_[index].empty()
                ? longNames_[index]
                : table[index].Name;
        path = path.empty() ? name : name + "\\" + path;
        const int32_t parent = table[index].Parent;
        if (parent >= index) break;  // parents always come first
        index = parent;
    }
    return path;
}

}  // namespace

void ScanTree(EngineContext& ctx) {
    ScanState& scan = ctx.scan;
    ChainState& chains = ctx.chains;
    if (RecheckLock(ctx, false)) return;

    // Record 0 is the root folder and element 0 of the folder table the drive:
    // the analysis makes both, but the scan does not rely on it.
    EnsureRecordRoom(ctx, 0);
    if (scan.FolderTable.empty()) {
        scan.FolderTable.push_back(FolderEntry{-1, UpperCased(ctx.run.DriveString)});
        scan.FolderTableTop = 0;
    }
    if (ctx.run.DetectBusy) scan.RecordInUse.assign(scan.FileRecords.size(), 0);
    scan.StaleDotDots.clear();

    uint32_t root = 0;
    if (ctx.geo.IsFat32) {
        root = chains.Fat32RootCluster;
        if (root < 2 || root > static_cast<uint32_t>(ctx.geo.MaxCluster) ||
            root >= chains.SuccessorSeen.size()) {
            StopWithError(ctx, "Bad cluster #");
        } else if (chains.SuccessorSeen[root] == 1) {
            StopWithError(ctx, "Crosslinked files");
        }
    }
    if (!ctx.run.StopRequested) {
        TreeScan walk(ctx);
        walk.ScanFolder(root, 0, 0, 0);
    }
    if (ctx.geo.IsFat32) scan.FileRecords[0].Fragments = 2;

    chains.SuccessorSeen.clear();
    chains.SuccessorSeen.shrink_to_fit();
    scan.FolderTable.resize(static_cast<size_t>(scan.FolderTableTop) + 1);
    scan.FileRecords.resize(static_cast<size_t>(scan.RecordCount) + 1);
    scan.FoldersWithErased.resize(static_cast<size_t>(scan.FoldersWithErasedCount) + 1);
}

std::string ShortEntryName(const uint8_t* entry) {
    int nameLength = kNameLength;
    while (nameLength > 0 && entry[kNameOffset + nameLength - 1] == ' ') --nameLength;
    int extensionLength = kExtensionLength;
    while (extensionLength > 0 && entry[kExtensionOffset + extensionLength - 1] == ' ') --extensionLength;
    std::string name(reinterpret_cast<const char*>(entry + kNameOffset), nameLength);
    if (extensionLength > 0) {
        name += '.';
        name.append(reinterpret_cast<const char*>(entry + kExtensionOffset), extensionLength);
    }
    return name;
}

int32_t AddFolder(EngineContext& ctx, int32_t parent, const std::string& name) {
    ScanState& scan = ctx.scan;
    const int32_t index = scan.FolderTableTop + 1;
    if (scan.FolderTable.size() <= static_cast<size_t>(index))
        scan.FolderTable.resize(static_cast<size_t>(index) + kFolderTableGrowth);
    scan.FolderTable[index] = FolderEntry{parent, name};
    scan.FolderTableTop = index;
    return index;
}

std::string FolderPath(const EngineContext& ctx, int32_t index) {
    const std::vector<FolderEntry>& table = ctx.scan.FolderTable;
    std::string path;
    while (index >= 0 && static_cast<size_t>(index) < table.size()) {
        path = path.empty() ? table[index].Name : table[index].Name + "\\" + path;
        const int32_t parent = table[index].Parent;
        if (parent >= index) break;  // parents always come first
        index = parent;
    }
    return path;
}

void CheckOpenFile(EngineContext& ctx, const std::string& folderPath, const std::string& name) {
    std::string scratch;
    ProbeOpenFile(ctx, folderPath, name, scratch);
}

void MarkBusy(EngineContext& ctx, int32_t record, const std::string& name) {
    LeaveInPlace(ctx, record, name, false);
}

void MarkBig(EngineContext& ctx, int32_t record, const std::string& name) {
    LeaveInPlace(ctx, record, name, true);
}

void AddFragmentedItem(EngineContext& ctx, const std::string& path, int64_t sizeBytes,
                       const std::string& note, bool isFolder) {
    // Truncating toward zero: a size of 0 shows as one sector.
    const int64_t sectors = (sizeBytes - 1) / ctx.geo.BytesPerSector + 1;
    const std::string line = path + "\t" + note + "\t" + FormatSize(static_cast<int32_t>(sectors));
    ctx.lists.Fragmented.push_back(RunLists::FragmentedItem{line, isFolder});
    ctx.view.AddFragmentedFile(line, isFolder);
}

void ClassifyFile(EngineContext& ctx, const std::string& path, int64_t sizeBytes,
                  uint16_t writeDate) {
    ScanState& scan = ctx.scan;
    const int64_t clusterBytes = ctx.geo.BytesPerCluster;
    const int64_t sectors = (sizeBytes + clusterBytes - 1) / clusterBytes * clusterBytes / ctx.geo.BytesPerSector;
    if (InsideFolder(path, scan.TempPath) && writeDate != 0 && DaysBeforeToday(writeDate) > 7)
        AddSaturated(scan.TempFilesSectors, sectors);
    if (InsideFolder(path, scan.CookiesFolder) && EndsWith(path, ".TXT"))
        AddSaturated(scan.CookiesSectors, sectors);
    if (InsideFolder(path, scan.DownloadedProgramsFolder)) AddSaturated(scan.DownloadedSectors, sectors);
    if (InsideFolder(path, scan.InternetCacheFolder) && !EndsWith(path, ".DAT"))
        AddSaturated(scan.InternetTempSectors, sectors);
    if (InsideFolder(path, scan.RecyclePath)) AddSaturated(scan.RecycleSectors, sectors);
}

void ProgressTick(EngineContext& ctx) {
    ctx.view.SetStatusValue(1, std::to_string(ctx.scan.FolderCount));
    ctx.view.SetStatusValue(2, std::to_string(ctx.scan.FileCount));
    if (ctx.scan.ItemsScanned % kItemsPerLockCheck == 0) {
        if (RecheckLock(ctx, true)) ctx.run.StopRequested = true;
        ctx.view.RedrawSizeChart("File distribution");
    }
    ctx.view.Yield();
}

}  // namespace quillo
