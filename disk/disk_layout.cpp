#include "disk/disk_layout.h"

#include <algorithm>
#include <array>
#include <optional>
#include <set>
#include <utility>

#include "common/little_endian.h"

namespace quillo {
namespace {

constexpr uint64_t kSector = 512;
constexpr int kSignatureOffset = 510;
constexpr int kTableOffset = 446;
constexpr int kEntrySize = 16;
// Partition entry fields.
constexpr int kEntryStatus = 0;
constexpr int kEntryType = 4;
constexpr int kEntryFirstLba = 8;   // 32 bits
constexpr int kEntrySectors = 12;   // 32 bits

using Sector = std::array<uint8_t, kSector>;

struct PartitionEntry {
    uint8_t status = 0;
    uint8_t type = 0;
    uint32_t firstLba = 0;
    uint32_t sectors = 0;
    bool used() const { return type != 0 && sectors != 0; }
};

struct Range {
    uint64_t start;
    uint64_t end;  // one past the last sector
    bool Overlaps(const Range& o) const { return start < o.end && o.start < end; }
    bool Contains(uint64_t sector) const { return start <= sector && sector < end; }
};

bool HasSignature(const Sector& s) {
    return s[kSignatureOffset] == 0x55 && s[kSignatureOffset + 1] == 0xAA;
}

PartitionEntry EntryAt(const Sector& s, int slot) {
    const uint8_t* e = s.data() + kTableOffset + slot * kEntrySize;
    return {e[kEntryStatus], e[kEntryType], le32(e + kEntryFirstLba), le32(e + kEntrySectors)};
}

bool ReadSector(DiskReader& disk, uint64_t lba, Sector& out) {
    if (lba > disk.SizeBytes() / kSector) return false;
    return disk.Read(lba * kSector, kSector, out.data());
}

class LayoutScan {
public:
    explicit LayoutScan(DiskReader& disk) : disk_(disk), diskSectors_(disk.SizeBytes() / kSector) {}

    std::vector<FatVolumeLocation> Run() {
        Sector first{};
        if (diskSectors_ == 0 || !ReadSector(disk_, 0, first)) {
            Fault("the disk is smaller than one sector");
            return {};
        }
        std::string whyNotBare;
        std::optional<BootSectorInfo> boot = ParseBootSector(first.data(), diskSectors_, &whyNotBare);
        // A refused boot sector still makes the disk one volume, unless the
        // same sector also holds a partition table in use.
        if (boot || (LooksLikeFatBootSector(first.data()) && !PartitionTableInUse(first))) {
            FatVolumeLocation bare;
            bare.sectorCount = diskSectors_;
            if (boot) bare.bootSector = *boot; else bare.unsupported = whyNotBare;
            return {bare};
        }
        if (!HasSignature(first)) {
            Fault("no FAT boot sector (" + whyNotBare + ") and no partition table");
            return {};
        }
        if (!ReadPrimaries(first)) return {};
        for (int slot = 0; slot < 4; ++slot) {
            const PartitionEntry& p = primaries_[slot];
            if (p.used() && IsFatPartitionType(p.type))
                Offer(slot + 1, false, p.type, Range{p.firstLba, uint64_t{p.firstLba} + p.sectors});
        }
        // Only the first extended partition is followed; a table with two has
        // no agreed meaning.
        for (const PartitionEntry& p : primaries_) {
            if (p.used() && IsExtendedPartitionType(p.type)) {
                WalkExtended(Range{p.firstLba, uint64_t{p.firstLba} + p.sectors});
                break;
            }
        }
        if (found_.empty() && faults_.empty()) Fault("no FAT partition on the disk");
        return std::move(found_);
    }

    std::string Faults() const {
        std::string text;
        for (const std::string& f : faults_) text += (text.empty() ? "" : "; ") + f;
        return text;
    }

private:
    void Fault(std::string text) { faults_.push_back(std::move(text)); }

    // Signed, with at least one entry that could be a partition of this disk.
    bool PartitionTableInUse(const Sector& first) const {
        if (!HasSignature(first)) return false;
        for (int slot = 0; slot < 4; ++slot) {
            const PartitionEntry p = EntryAt(first, slot);
            if (p.used() && (p.status == 0x00 || p.status == 0x80) && p.firstLba != 0 &&
                uint64_t{p.firstLba} + p.sectors <= diskSectors_)
                return true;
        }
        return false;
    }

    bool ReadPrimaries(const Sector& mbr) {
        std::vector<std::pair<int, Range>> used;
        for (int slot = 0; slot < 4; ++slot) {
            PartitionEntry p = EntryAt(mbr, slot);
            primaries_[slot] = p;
            if (!p.used()) continue;
            const std::string name = "partition " + std::to_string(slot + 1);
            if ((p.status != 0x00 && p.status != 0x80) || p.firstLba == 0) {
                Fault("invalid partition table (" + name + ")");
                return false;
            }
            Range r{p.firstLba, uint64_t{p.firstLba} + p.sectors};
            if (r.end > diskSectors_) {
                Fault("invalid partition table: " + name + " runs past the end of the disk");
                return false;
            }
            for (const auto& [other, range] : used) {
                if (range.Overlaps(r)) {
                    Fault("invalid partition table: partitions " + std::to_string(other) +
                          " and " + std::to_string(slot + 1) + " overlap");
                    return false;
                }
            }
            used.push_back({slot + 1, r});
        }
        return true;
    }

    // Extended boot records: entry 1 is the logical partition, relative to its
    // own record; entry 2 links to the next record, relative to the start of
    // the outermost extended partition.
    void WalkExtended(const Range& extended) {
        std::set<uint64_t> visited;
        std::vector<std::pair<Range, int>> logicals;  // with their numbers
        int number = 5;
        uint64_t ebr = extended.start;
        while (true) {
            if (visited.count(ebr)) {
                Fault("the extended partition's chain loops");
                return;
            }
            if (static_cast<int>(visited.size()) >= kMaxLogicalPartitions) {
                Fault("the extended partition's chain is too long");
                return;
            }
            if (!extended.Contains(ebr)) {
                Fault("extended boot record at sector " + std::to_string(ebr) +
                      " lies outside the extended partition");
                return;
            }
            // A record inside a logical volume would be overwritten by that
            // volume's data: neither can be trusted.
            for (const auto& [range, n] : logicals) {
                if (range.Contains(ebr)) {
                    std::erase_if(found_, [n = n](const FatVolumeLocation& v) {
                        return v.partitionNumber == n;
                    });
                    Fault("partition " + std::to_string(n) + " holds the extended boot record at sector " +
                          std::to_string(ebr));
                    return;
                }
            }
            visited.insert(ebr);
            Sector record{};
            if (!ReadSector(disk_, ebr, record) || !HasSignature(record)) {
                Fault("unreadable extended boot record at sector " + std::to_string(ebr));
                return;
            }
            PartitionEntry logical = EntryAt(record, 0);
            if (logical.used()) {
                Range r{ebr + logical.firstLba, ebr + logical.firstLba + logical.sectors};
                const int n = number++;
                bool overlaps = std::any_of(logicals.begin(), logicals.end(),
                                            [&](const auto& o) { return o.first.Overlaps(r); }) ||
                                std::any_of(visited.begin(), visited.end(),
                                            [&](uint64_t v) { return r.Contains(v); });
                if (logical.firstLba == 0 || r.end > extended.end || overlaps) {
                    Fault("partition " + std::to_string(n) +
                          " overlaps another or lies outside the extended partition");
                } else {
                    logicals.push_back({r, n});
                    if (IsFatPartitionType(logical.type)) Offer(n, true, logical.type, r);
                }
            }
            PartitionEntry link = EntryAt(record, 1);
            if (!IsExtendedPartitionType(link.type) || link.firstLba == 0) return;
            ebr = extended.start + link.firstLba;
        }
    }

    // A FAT partition gets a drive letter whether or not we can work on it,
    // as the platform gives one; a refused one carries the reason.
    void Offer(int number, bool isLogical, uint8_t type, const Range& r) {
        Sector boot{};
        FatVolumeLocation v;
        v.byteOffset = r.start * kSector;
        v.sectorCount = r.end - r.start;
        v.partitionNumber = number;
        v.isLogical = isLogical;
        v.partitionType = type;
        std::optional<BootSectorInfo> info;
        if (!ReadSector(disk_, r.start, boot))
            v.unsupported = "unreadable boot sector";
        else
            info = ParseBootSector(boot.data(), v.sectorCount, &v.unsupported,
                                   "partition " + std::to_string(number));
        if (info) {
            v.bootSector = *info;
            v.unsupported.clear();
        }
        found_.push_back(v);
    }

    DiskReader& disk_;
    uint64_t diskSectors_;
    std::array<PartitionEntry, 4> primaries_{};
    std::vector<FatVolumeLocation> found_;
    std::vector<std::string> faults_;
};

}  // namespace

bool IsFatPartitionType(uint8_t type) {
    switch (type & ~0x10) {  // 0x1n is the hidden form of 0x0n
        case 0x01: case 0x04: case 0x06: case 0x0B: case 0x0C: case 0x0E:
            return true;
        default:
            return false;
    }
}

bool IsExtendedPartitionType(uint8_t type) {
    return type == 0x05 || type == 0x0F || type == 0x85;
}

std::vector<FatVolumeLocation> FindFatVolumes(DiskReader& disk, std::string* error) {
    LayoutScan scan(disk);
    std::vector<FatVolumeLocation> found = scan.Run();
    if (error) *error = scan.Faults();
    return found;
}

}  // namespace quillo
