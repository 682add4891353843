#include "engine/volume_folders.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "analysis/chains.h"
#include "analysis/directory_scan.h"
#include "analysis/long_names.h"
#include "common/little_endian.h"
#include "disk/dir_entry_layout.h"
#include "disk/drive_menu.h"
#include "disk/fat_table.h"
#include "disk/sector_io.h"
#include "disk/volume_geometry.h"
#include "disk/volume_lock.h"
#include "engine/dir_entry.h"

namespace quillo {
namespace {

// Fields of a 32-byte directory entry.
constexpr uint8_t kFirstStoredPiece = 0x40;
// A chain is read in pieces of at most this much.
constexpr int64_t kMaxReadBytes = 1 << 20;

bool SameNameIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
               return fold(x) == fold(y);
           });
}

// The sectors of a folder as (first sector, sectors) extents, in order.
bool FolderExtents(EngineContext& ctx, uint32_t first, std::vector<std::pair<int64_t, int64_t>>& extents) {
    const Geometry& geo = ctx.geo;
    extents.clear();
    if (first == 0) {
        if (geo.IsFat32) return false;
        extents.emplace_back(int64_t{geo.ReservedSectors} + int64_t{geo.NumberOfFats} * geo.SectorsPerFat,
                             geo.RootEntryCount / geo.DirEntriesPerSector);
        return true;
    }
    RunList runs;
    if (FAT_Frag(ctx, first, runs) == 0 || ctx.run.ErrorStop != 0) return false;
    for (int32_t k = 1; k <= runs.Count(); ++k)
        extents.emplace_back(ClusterSector(geo, static_cast<uint32_t>(runs.RunStart[k])),
                             int64_t{runs.RunLength[k]} * geo.SectorsPerCluster);
    return true;
}

// Reads `sectors` sectors from `start` into `buffer`, in pieces.
bool ReadExtent(EngineContext& ctx, int64_t start, int64_t sectors, std::vector<uint8_t>& buffer) {
    buffer.resize(static_cast<size_t>(sectors) * kSectorSize);
    const int64_t piece = kMaxReadBytes / kSectorSize;
    for (int64_t done = 0; done < sectors; done += piece) {
        const int64_t count = std::min(piece, sectors - done);
        if (!ReadSectors(ctx, static_cast<uint32_t>(start + done), static_cast<uint32_t>(count),
                         buffer.data() + done * kSectorSize)) {
            ReportDiskError(ctx);
            return false;
        }
    }
    return true;
}

VolumeEntry EntryFrom(const Geometry& geo, const uint8_t* raw, int32_t index, const LongNameCollector& names,
                      int32_t pieces) {
    VolumeEntry entry;
    entry.shortName = ShortEntryName(raw);
    entry.longName = names.NameFor(raw);
    entry.attributes = raw[kAttributesOffset];
    entry.firstCluster = EntryFirstCluster(geo, raw);
    entry.size = le32(raw + kSizeOffset);
    entry.createTime = le16(raw + kCreateTimeOffset);
    entry.createDate = le16(raw + kCreateDateOffset);
    entry.accessDate = le16(raw + kAccessDateOffset);
    entry.writeTime = le16(raw + kWriteTimeOffset);
    entry.writeDate = le16(raw + kWriteDateOffset);
    entry.index = index;
    entry.longNamePieces = names.BelongsTo(raw) ? pieces : 0;
    return entry;
}

std::string TwoDigits(int value) {
    return std::string(1, static_cast<char>('0' + value / 10 % 10)) + static_cast<char>('0' + value % 10);
}

}  // namespace

VolumeLook::VolumeLook(EngineContext& front, char letter, int16_t runMode, RunView* view)
    : ctx_(view != nullptr ? *view : quiet_, clock_, front.devices) {
    ctx_.options = front.options;
    ctx_.log.LogEnabled = false;
    ctx_.run.DriveMenuIndex = MenuIndexForDriveLetter(letter);
    ctx_.run.DriveString = std::string(1, letter) + ":";
    ctx_.run.RootPath = ctx_.run.DriveString + "\\";
    ctx_.run.RunMode = runMode;
    ctx_.run.ScanFiles = true;
    ok_ = ctx_.run.DriveMenuIndex >= 0 && AcquireVolume(ctx_) && OpenVolume(ctx_) && ReadFat(ctx_) &&
          !CheckFatHead(ctx_);
    if (!ok_) Release();
}

VolumeLook::~VolumeLook() { Release(); }

void VolumeLook::Release() { ReleaseVolume(ctx_); }

uint32_t RootFolderCluster(const EngineContext& ctx) { return ctx.geo.IsFat32 ? ctx.geo.RootCluster : 0; }

bool ReadVolumeFolder(EngineContext& ctx, uint32_t first, std::vector<VolumeEntry>& entries) {
    entries.clear();
    std::vector<std::pair<int64_t, int64_t>> extents;
    if (!FolderExtents(ctx, first, extents)) return false;
    LongNameCollector names;
    int32_t pieces = 0;  // long-name slots since the last that starts a name
    int32_t index = 0;
    std::vector<uint8_t> buffer;
    for (const auto& [start, sectors] : extents) {
        if (!ReadExtent(ctx, start, sectors, buffer)) return false;
        for (size_t at = 0; at + kEntrySize <= buffer.size(); at += kEntrySize, ++index) {
            const uint8_t* raw = buffer.data() + at;
            if (raw[0] == kEndOfFolder) return true;
            if (raw[0] == kErasedEntry || raw[0] == '.') {
                names.Reset();
                pieces = 0;
            } else if (IsLongNamePiece(raw)) {
                names.AddPiece(raw);
                pieces = (raw[0] & kFirstStoredPiece) != 0 ? 1 : pieces + 1;
            } else if ((raw[kAttributesOffset] & kAttrVolumeLabel) != 0) {
                names.Reset();
                pieces = 0;
            } else {
                entries.push_back(EntryFrom(ctx.geo, raw, index, names, pieces));
                names.Reset();
                pieces = 0;
            }
        }
    }
    return true;
}

uint32_t FolderSlotSector(EngineContext& ctx, uint32_t first, int32_t index) {
    std::vector<std::pair<int64_t, int64_t>> extents;
    if (index < 0 || !FolderExtents(ctx, first, extents)) return 0;
    int64_t slotSector = index / (kSectorSize / kEntrySize);
    for (const auto& [start, sectors] : extents) {
        if (slotSector < sectors) return static_cast<uint32_t>(start + slotSector);
        slotSector -= sectors;
    }
    return 0;
}

std::optional<FoundEntry> FindVolumeEntry(EngineContext& ctx, const std::string& path) {
    std::vector<std::string> parts;
    size_t at = path.find('\\');
    const std::string drive = path.substr(0, at == std::string::npos ? path.size() : at);
    while (at != std::string::npos) {
        const size_t next = path.find('\\', at + 1);
        const std::string part = path.substr(at + 1, next == std::string::npos ? std::string::npos : next - at - 1);
        if (!part.empty()) parts.push_back(part);
        at = next;
    }
    if (parts.empty()) return std::nullopt;
    FoundEntry found;
    found.folderCluster = RootFolderCluster(ctx);
    found.longPath = drive;
    std::vector<VolumeEntry> entries;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (!ReadVolumeFolder(ctx, found.folderCluster, entries)) return std::nullopt;
        const auto match = std::find_if(entries.begin(), entries.end(), [&](const VolumeEntry& e) {
            return SameNameIgnoringCase(e.longName, parts[i]) || SameNameIgnoringCase(e.shortName, parts[i]);
        });
        if (match == entries.end()) return std::nullopt;
        found.longPath += "\\" + match->longName;
        if (i + 1 == parts.size()) {
            found.entry = *match;
            return found;
        }
        if ((match->attributes & kAttrFolder) == 0 || match->firstCluster == 0) return std::nullopt;
        found.folderCluster = match->firstCluster;
    }
    return std::nullopt;
}

bool ReadVolumeFile(EngineContext& ctx, const VolumeEntry& entry,
                    const std::function<bool(const uint8_t*, size_t)>& take) {
    int64_t left = entry.size;
    if (left == 0) return true;
    RunList runs;
    if (FAT_Frag(ctx, entry.firstCluster, runs) == 0 || ctx.run.ErrorStop != 0) return false;
    std::vector<uint8_t> buffer;
    for (int32_t k = 1; k <= runs.Count() && left > 0; ++k) {
        const int64_t sectors = std::min<int64_t>(int64_t{runs.RunLength[k]} * ctx.geo.SectorsPerCluster,
                                                  (left + kSectorSize - 1) / kSectorSize);
        if (!ReadExtent(ctx, ClusterSector(ctx.geo, static_cast<uint32_t>(runs.RunStart[k])), sectors, buffer))
            return false;
        const size_t bytes = static_cast<size_t>(std::min<int64_t>(left, sectors * kSectorSize));
        if (!take(buffer.data(), bytes)) return false;
        left -= static_cast<int64_t>(bytes);
    }
    return left == 0;
}

std::optional<VolumeFileFacts> ReadVolumeFileFacts(EngineContext& front, const std::string& path) {
    if (path.empty()) return std::nullopt;
    VolumeLook look(front, path[0]);
    if (!look.ok()) return std::nullopt;
    const std::optional<FoundEntry> found = FindVolumeEntry(look.ctx(), path);
    if (!found) return std::nullopt;
    const VolumeEntry& e = found->entry;
    VolumeFileFacts facts;
    facts.longPath = found->longPath;
    facts.size = e.size;
    facts.attributes = e.attributes;
    facts.createTime = e.createTime;
    facts.createDate = e.createDate;
    facts.accessDate = e.accessDate;
    facts.writeTime = e.writeTime;
    facts.writeDate = e.writeDate;
    RunList runs;
    const int32_t clusters = FAT_Frag(look.ctx(), e.firstCluster, runs);
    for (int32_t k = 1; k <= runs.Count() && clusters > 0; ++k)
        facts.runs.emplace_back(runs.RunStart[k], runs.RunLength[k]);
    if ((e.attributes & kAttrFolder) != 0) facts.size = int64_t{clusters} * look.ctx().geo.BytesPerCluster;
    return facts;
}

std::string ExtractVolumeFile(EngineContext& front, const std::string& path) {
    if (path.empty()) return "";
    VolumeLook look(front, path[0]);
    if (!look.ok()) return "";
    const std::optional<FoundEntry> found = FindVolumeEntry(look.ctx(), path);
    if (!found || (found->entry.attributes & kAttrFolder) != 0) return "";
    const char* tmp = std::getenv("TMPDIR");
    std::string folder = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/quillo-open-XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) return "";
    // A long name may hold characters a host name cannot.
    std::string name = found->entry.longName;
    std::replace(name.begin(), name.end(), '/', '_');
    const std::string target = folder + "/" + name;
    const int fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return "";
    const bool ok = ReadVolumeFile(look.ctx(), found->entry, [fd](const uint8_t* bytes, size_t count) {
        return ::write(fd, bytes, count) == static_cast<ssize_t>(count);
    });
    ::fchmod(fd, 0400);
    ::close(fd);
    if (!ok) {
        ::unlink(target.c_str());
        ::rmdir(folder.c_str());
        return "";
    }
    return target;
}

std::string DosDateText(uint16_t date) {
    const int day = date & 31;
    const int month = (date >> 5) & 15;
    const int year = 1980 + (date >> 9);
    if (day < 1 || month < 1 || month > 12) return "?\?/?\?/?\?";  // escaped: not trigraphs
    return TwoDigits(month) + "/" + TwoDigits(day) + "/" + TwoDigits(year % 100);
}

std::string DosTimeText(uint16_t time) {
    return TwoDigits(time >> 11) + ":" + TwoDigits((time >> 5) & 63) + ":" + TwoDigits((time & 31) * 2);
}

std::string JoinVolumePath(const std::string& folder, const std::string& name) {
    return !folder.empty() && folder.back() == '\\' ? folder + name : folder + "\\" + name;
}

}  // namespace quillo
