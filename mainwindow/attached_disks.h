#pragma once
// The disks the window works on: those remembered in the option store's
// section "Drives" plus those attached since, and the drive table over them.
#include <memory>
#include <string>
#include <vector>

#include "disk/drive_letters.h"
#include "disk/drive_table.h"
#include "disk/volume_device.h"

namespace quillo {
class OptionStore;
}

namespace quillo::gui {

inline constexpr const char* kDrivesSection = "Drives";

// `path` from the current folder, so a remembered disk is found again from
// any other. "." steps are dropped; ".." stays, as it may follow a link.
std::string AbsolutePath(const std::string& path);

// "Disk1", "Disk2", ... and "Floppy" of section "Drives", in that order.
std::vector<AttachedDisk> RememberedDisks(const OptionStore& store);
void RememberDisks(OptionStore& store, const std::vector<AttachedDisk>& disks);
// `known` followed by the disks of `added` not in it yet (same path). An added
// floppy replaces the known one: there is one floppy drive.
std::vector<AttachedDisk> MergeDisks(std::vector<AttachedDisk> known,
                                     const std::vector<AttachedDisk>& added);

// A device provider that can be re-pointed at a new set of disks, so the
// engine context built over it stays valid when a disk is attached.
class AttachedDrives final : public DeviceProvider {
public:
    AttachedDrives();
    ~AttachedDrives() override;

    // Replaces the table; returns one line per disk that gave no letter.
    // The volume must be released first: the old devices are closed.
    std::vector<std::string> Attach(const std::vector<AttachedDisk>& disks);

    VolumeDevice* DeviceForDrive(char letter) override;
    bool IsRemovable(char letter) override;
    std::string UnsupportedReason(char letter) override;
    const std::vector<AttachedDisk>& Disks() const { return disks_; }
    DriveTable& Table() { return *table_; }

private:
    std::vector<AttachedDisk> disks_;
    std::unique_ptr<DriveTable> table_;
};

}  // namespace quillo::gui
