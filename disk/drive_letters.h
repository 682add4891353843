#pragma once
// Drive letters for the FAT volumes of the attached disks, handed out in the
// order the original platform uses.
#include <string>
#include <vector>

#include "disk/disk_layout.h"

namespace quillo {

struct AttachedDisk {
    std::string path;     // image file or block device
    bool floppy = false;  // attached as the floppy drive (A:)
};

struct DriveAssignment {
    char letter = 0;         // 'A', or 'C'..'Z'
    std::string path;
    bool removable = false;  // the floppy drive
    FatVolumeLocation volume;
};

struct DiskProblem {
    std::string path;
    std::string message;
};

struct DriveLetterResult {
    std::vector<DriveAssignment> drives;  // by letter
    std::vector<DiskProblem> errors;      // disks that give no letter at all
    std::vector<DiskProblem> warnings;    // volumes left out of a disk that gives letters
};

// A: for the attached floppy (a bare FAT12 volume of 2.88 MB or less; only one).
// From C: for hard disks: the first primary FAT partition (or the bare volume)
// of each disk in attach order, then every logical FAT partition of each disk,
// then the remaining primary FAT partitions of each disk, up to Z:.
// A disk attached twice, unreadable, or without a FAT volume is an error.
DriveLetterResult AssignDriveLetters(const std::vector<AttachedDisk>& disks);

// Largest volume taken as a floppy: 2.88 MB in 512-byte sectors.
constexpr uint64_t kMaxFloppySectors = 5760;

}  // namespace quillo
