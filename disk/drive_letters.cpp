#include "disk/drive_letters.h"

#include <sys/stat.h>

#include <algorithm>
#include <set>
#include <utility>

namespace quillo {
namespace {

struct HardDisk {
    std::string path;
    std::vector<FatVolumeLocation> volumes;
    std::vector<bool> lettered;
};

// A refused bare volume small enough for a floppy still takes the floppy
// drive, where it is shown as not supported.
bool LooksLikeFloppy(const std::vector<FatVolumeLocation>& volumes) {
    if (volumes.size() != 1) return false;
    const FatVolumeLocation& v = volumes.front();
    if (v.partitionNumber != 0) return false;
    if (!v.unsupported.empty()) return v.sectorCount <= kMaxFloppySectors;
    return v.bootSector.fileSystemName == "FAT12" && v.bootSector.totalSectors <= kMaxFloppySectors;
}

// The same file or device attached twice would give two letters, and two
// devices, to one volume.
bool AlreadyAttached(const std::string& path, std::set<std::pair<dev_t, ino_t>>& seen) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    auto id = S_ISBLK(st.st_mode) ? std::make_pair(st.st_rdev, ino_t{0})
                                  : std::make_pair(st.st_dev, st.st_ino);
    return !seen.insert(id).second;
}

std::string VolumeName(const FatVolumeLocation& v) {
    return v.partitionNumber == 0 ? "the volume" : "partition " + std::to_string(v.partitionNumber);
}

class LetterDealer {
public:
    explicit LetterDealer(DriveLetterResult& result) : result_(result) {}

    void Give(HardDisk& disk, size_t index) {
        if (disk.lettered[index]) return;
        disk.lettered[index] = true;
        if (next_ > 'Z') {
            result_.warnings.push_back(
                {disk.path, "no drive letter left for " + VolumeName(disk.volumes[index])});
            return;
        }
        result_.drives.push_back({next_++, disk.path, false, disk.volumes[index]});
    }

private:
    DriveLetterResult& result_;
    char next_ = 'C';
};

}  // namespace

DriveLetterResult AssignDriveLetters(const std::vector<AttachedDisk>& disks) {
    DriveLetterResult result;
    std::vector<HardDisk> hardDisks;
    std::set<std::pair<dev_t, ino_t>> seen;
    bool haveFloppy = false;

    for (const AttachedDisk& disk : disks) {
        std::string error;
        std::unique_ptr<DiskReader> reader = OpenDiskFile(disk.path, &error);
        if (!reader) {
            result.errors.push_back({disk.path, error});
            continue;
        }
        if (AlreadyAttached(disk.path, seen)) {
            result.errors.push_back({disk.path, "this disk is already attached"});
            continue;
        }
        std::vector<FatVolumeLocation> volumes = FindFatVolumes(*reader, &error);
        if (volumes.empty()) {
            result.errors.push_back({disk.path, error});
            continue;
        }
        if (!error.empty()) result.warnings.push_back({disk.path, error});
        if (disk.floppy) {
            if (!LooksLikeFloppy(volumes)) {
                result.errors.push_back(
                    {disk.path, "not a floppy disk: a floppy is one FAT12 volume of "
                                "2.88 MB or less without a partition table"});
            } else if (haveFloppy) {
                result.errors.push_back({disk.path, "only one floppy disk can be attached"});
            } else {
                haveFloppy = true;
                result.drives.push_back({'A', disk.path, true, volumes.front()});
            }
            continue;
        }
        std::vector<bool> lettered(volumes.size(), false);
        hardDisks.push_back({disk.path, std::move(volumes), std::move(lettered)});
    }

    LetterDealer dealer(result);
    for (HardDisk& d : hardDisks) {
        for (size_t i = 0; i < d.volumes.size(); ++i) {
            if (!d.volumes[i].isLogical) {
                dealer.Give(d, i);
                break;
            }
        }
    }
    for (HardDisk& d : hardDisks)
        for (size_t i = 0; i < d.volumes.size(); ++i)
            if (d.volumes[i].isLogical) dealer.Give(d, i);
    for (HardDisk& d : hardDisks)
        for (size_t i = 0; i < d.volumes.size(); ++i) dealer.Give(d, i);

    std::sort(result.drives.begin(), result.drives.end(),
              [](const DriveAssignment& a, const DriveAssignment& b) { return a.letter < b.letter; });
    return result;
}

}  // namespace quillo
