#pragma once
// USB sticks and memory cards without root rights: the UDisks2 service on
// the system bus opens a block device for us (Block.OpenDevice, which polkit
// authorises, asking the user when its policy says so) and tells which
// removable FAT volumes it knows. No Qt: both programs use it.
#include <cstdint>
#include <string>
#include <vector>

namespace quillo {

struct UdisksOpening {
    int fd = -1;                // ours to close; -1 when not opened
    bool serviceFound = false;  // false: no UDisks2 service on the system bus
    bool busy = false;          // the service's open failed with EBUSY (mounted, claimed)
    std::string message;        // why not, in one line; empty when opened
};

// Asks UDisks2 for `devicePath` ("/dev/sdb") opened read-only or read-write.
// `exclusive` claims the device (O_EXCL), which fails while it or one of its
// partitions is mounted. May wait for the user to authorise.
UdisksOpening OpenThroughUdisks(const std::string& devicePath, bool writable, bool exclusive);

struct RemovableVolume {
    std::string device;                    // "/dev/sdb1"
    std::string label;                     // the file system's label, may be empty
    uint64_t sizeBytes = 0;
    std::vector<std::string> mountPoints;  // empty when not mounted
};

// The FAT file systems UDisks2 knows on removable drives (USB sticks, memory
// cards), by device name. Empty, with `problem` set, when there is no service.
std::vector<RemovableVolume> RemovableFatVolumes(std::string* problem);

// The one line said where no UDisks2 service runs.
inline constexpr const char* kNoUdisksService = "no UDisks2 service runs on the system bus";

}  // namespace quillo
