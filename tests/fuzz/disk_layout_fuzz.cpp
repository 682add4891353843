// Feeds whole small disks (MBR, extended boot records, boot sectors) through
// FindFatVolumes and ParseBootSector and checks that whatever comes back is
// consistent with the disk it came from.
//
// Input: 4 bytes, little-endian: the disk's size in sectors; then records of a
// 4-byte little-endian sector number followed by that sector's 512 bytes (the
// last record may be short; later records overwrite earlier ones). Every
// sector no record gives reads as zeros, so partition tables can point
// anywhere on a large disk while the input stays small. The bytes after the
// header are also tried as a flat disk image of their own.
//
// A seed is made from an image by keeping sector 0 and the sectors that end in
// 0x55AA (MBR, extended boot records, boot sectors), each as one record.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "common/little_endian.h"
#include "disk/boot_sector.h"
#include "disk/disk_layout.h"
#include "disk/disk_reader.h"

namespace {

using namespace quillo;

constexpr size_t kSector = 512;
constexpr size_t kRecord = 4 + kSector;

void Require(bool condition) {
    if (!condition) __builtin_trap();
}

class SparseDisk final : public DiskReader {
public:
    SparseDisk(const uint8_t* data, size_t size) {
        sectors_ = le32(data);
        for (size_t at = 4; size - at >= 4; at += kRecord) {
            Record r;
            r.lba = le32(data + at);
            const size_t have = std::min(kSector, size - at - 4);
            if (have) std::memcpy(r.bytes, data + at + 4, have);
            records_.push_back(r);
            if (size - at <= kRecord) break;
        }
    }
    uint64_t SizeBytes() const override { return sectors_ * kSector; }
    bool Read(uint64_t offset, size_t length, uint8_t* out) override {
        if (offset > SizeBytes() || length > SizeBytes() - offset) return false;
        std::memset(out, 0, length);
        for (const Record& r : records_) {
            const uint64_t start = r.lba * kSector;
            const uint64_t from = std::max(start, offset);
            const uint64_t to = std::min(start + kSector, offset + length);
            if (from < to) std::memcpy(out + (from - offset), r.bytes + (from - start), to - from);
        }
        return true;
    }
    const uint8_t* SectorOf(size_t i) const { return records_[i].bytes; }
    uint64_t LbaOf(size_t i) const { return records_[i].lba; }
    size_t RecordCount() const { return records_.size(); }
    uint64_t Sectors() const { return sectors_; }

private:
    struct Record {
        uint64_t lba = 0;
        uint8_t bytes[kSector] = {};
    };
    uint64_t sectors_ = 0;
    std::vector<Record> records_;
};

void CheckBootSector(const BootSectorInfo& b, uint64_t volumeSectors) {
    Require(b.bytesPerSector == 512 && b.numFats == 2 && b.reservedSectors > 0);
    Require(b.sectorsPerCluster > 0 && (b.sectorsPerCluster & (b.sectorsPerCluster - 1)) == 0);
    Require(b.totalSectors > 0 && b.totalSectors <= volumeSectors);
    Require(b.firstDataSector < b.totalSectors && b.clusterCount > 0);
    Require(b.firstDataSector + uint64_t{b.clusterCount} * b.sectorsPerCluster <= b.totalSectors);
    if (b.fileSystemName == "FAT12") {
        Require(!b.isFat32 && b.clusterCount < 4085);
    } else if (b.fileSystemName == "FAT16") {
        Require(!b.isFat32 && b.clusterCount > 4085 && b.clusterCount <= 65524);
    } else {
        Require(b.fileSystemName == "FAT32" && b.isFat32);
        Require(b.rootCluster >= 2 && b.rootCluster <= uint64_t{b.clusterCount} + 1);
    }
    Require(b.volumeLabel.size() <= 11);
}

void CheckLayout(DiskReader& disk) {
    std::string error;
    const std::vector<FatVolumeLocation> volumes = FindFatVolumes(disk, &error);
    const uint64_t diskSectors = disk.SizeBytes() / kSector;
    if (volumes.empty()) Require(!error.empty());
    for (size_t i = 0; i < volumes.size(); ++i) {
        const FatVolumeLocation& v = volumes[i];
        Require(v.byteOffset % kSector == 0);
        const uint64_t start = v.byteOffset / kSector;
        Require(v.sectorCount > 0 && start + v.sectorCount <= diskSectors);
        // A volume found but refused says why; only an accepted one is read.
        if (v.unsupported.empty()) CheckBootSector(v.bootSector, v.sectorCount);
        if (v.partitionNumber == 0) {
            Require(volumes.size() == 1 && start == 0);
        } else {
            Require(start > 0 && v.isLogical == (v.partitionNumber >= 5));
            Require(IsFatPartitionType(v.partitionType));
        }
        for (size_t j = 0; j < i; ++j) {
            const FatVolumeLocation& o = volumes[j];
            const uint64_t oStart = o.byteOffset / kSector;
            Require(start >= oStart + o.sectorCount || oStart >= start + v.sectorCount);
            Require(o.partitionNumber < v.partitionNumber);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    SparseDisk sparse(data, size);
    CheckLayout(sparse);
    for (size_t i = 0; i < sparse.RecordCount(); ++i) {
        // Both as a volume of the whole disk and of what is left after the record.
        const uint64_t after = sparse.Sectors() - std::min(sparse.Sectors(), sparse.LbaOf(i));
        for (uint64_t volume : {sparse.Sectors(), after}) {
            std::string why;
            if (auto b = ParseBootSector(sparse.SectorOf(i), volume, &why))
                CheckBootSector(*b, volume);
            else
                Require(!why.empty());
        }
    }
    MemoryDiskReader flat(std::vector<uint8_t>(data + 4, data + size));
    CheckLayout(flat);
    return 0;
}
