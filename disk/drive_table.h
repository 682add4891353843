#pragma once
// The attached drives by letter: hands out their volume devices and answers the
// drive-type and volume-information queries of drive discovery.
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "disk/drive_letters.h"
#include "disk/volume_device.h"

namespace quillo {

class ImageDevice;

struct VolumeInformation {
    std::string label;           // boot-sector label, may be empty
    std::string fileSystemName;  // "FAT12", "FAT16" or "FAT32"
};

// Reads the volume's boot sector through its device now (the volume may have
// been reformatted since the disk was attached). A closed device is opened for
// the read and closed again; an open one is left as it is. Nullopt when the
// sector is unreadable or no longer an acceptable FAT boot sector.
std::optional<VolumeInformation> ReadVolumeInformation(VolumeDevice& device);

class DriveTable final : public DeviceProvider {
public:
    explicit DriveTable(std::vector<DriveAssignment> drives);
    ~DriveTable() override;
    DriveTable(const DriveTable&) = delete;
    DriveTable& operator=(const DriveTable&) = delete;

    // One device per letter, made at the first request and owned by the table;
    // the same pointer every time. Null for a letter that is not attached.
    VolumeDevice* DeviceForDrive(char letter) override;
    bool IsRemovable(char letter) override;
    std::string UnsupportedReason(char letter) override;

    // ReadVolumeInformation on the letter's device; nullopt when not attached.
    std::optional<VolumeInformation> QueryVolumeInformation(char letter);

    // Letters in use, ascending.
    std::vector<char> Letters() const;
    // The assignment of `letter`, or null.
    const DriveAssignment* Find(char letter) const;

private:
    std::vector<DriveAssignment> drives_;
    std::map<char, std::unique_ptr<ImageDevice>> devices_;
};

}  // namespace quillo
