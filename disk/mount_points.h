#pragma once
// Where a block device's volumes are mounted: a mounted FAT volume is busy,
// and the message names its mount point.
#include <string>
#include <vector>

namespace quillo {

// The mount points of the device file `path` itself and of its partitions,
// from /proc/self/mountinfo; empty for an image file or an unmounted device.
std::vector<std::string> MountPointsOfDevice(const std::string& path);

// The mount points of the mountinfo lines whose device ("8:17") is one of
// `devices`, in the order of the lines, with "\040" and the like decoded.
std::vector<std::string> MountPointsIn(const std::string& mountinfo,
                                       const std::vector<std::string>& devices);

}  // namespace quillo
