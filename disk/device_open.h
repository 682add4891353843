#pragma once
// Opening image files and block devices for the volume layer. A block
// device the user may not open (USB sticks and memory cards belong to root
// and group disk) is asked of UDisks2 instead, which polkit authorises.
#include <string>

namespace quillo {

struct DeviceOpenResult {
    int fd = -1;       // ours to close
    int error = 0;     // errno of the failure when fd is -1 (EBUSY: mounted or claimed)
    std::string note;  // when UDisks2 was asked and could not help: why, in one line
};

// `flags` as for open(2): O_RDONLY or O_RDWR, O_EXCL to claim a block device.
DeviceOpenResult OpenDeviceFile(const std::string& path, int flags);

// What to tell the user about a failed opening of `path`: the mount points
// that keep a block device busy ("It is mounted at /media/u/STICK."), or
// the UDisks2 note; empty when there is nothing to add.
std::string DescribeOpenFailure(const std::string& path, const DeviceOpenResult& result);

}  // namespace quillo
