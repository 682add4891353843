#include "disk/drive_table.h"

#include <algorithm>
#include <cctype>

#include "disk/image_device.h"
#include "disk/volume_space.h"

namespace quillo {
namespace {

char Upper(char letter) {
    return static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
}

}  // namespace

std::optional<VolumeInformation> ReadVolumeInformation(VolumeDevice& device) {
    const bool openedHere = !device.IsOpen();
    if (openedHere && !device.Open()) return std::nullopt;
    const std::optional<BootSectorInfo> boot = ReadBootSectorInfo(device);
    if (openedHere) device.Close();
    if (!boot) return std::nullopt;
    return VolumeInformation{boot->volumeLabel, boot->fileSystemName};
}

DriveTable::DriveTable(std::vector<DriveAssignment> drives) : drives_(std::move(drives)) {
    std::sort(drives_.begin(), drives_.end(),
              [](const DriveAssignment& a, const DriveAssignment& b) { return a.letter < b.letter; });
}

DriveTable::~DriveTable() = default;

const DriveAssignment* DriveTable::Find(char letter) const {
    letter = Upper(letter);
    for (const DriveAssignment& d : drives_)
        if (d.letter == letter) return &d;
    return nullptr;
}

VolumeDevice* DriveTable::DeviceForDrive(char letter) {
    const DriveAssignment* drive = Find(letter);
    if (!drive) return nullptr;
    std::unique_ptr<ImageDevice>& device = devices_[drive->letter];
    if (!device) {
        // The device spans the whole partition, as the platform's volume does;
        // the file system's own size comes from its boot sector.
        device = std::make_unique<ImageDevice>(drive->path, drive->volume.byteOffset,
                                               drive->volume.sectorCount);
    }
    return device.get();
}

bool DriveTable::IsRemovable(char letter) {
    const DriveAssignment* drive = Find(letter);
    return drive && drive->removable;
}

std::string DriveTable::UnsupportedReason(char letter) {
    const DriveAssignment* drive = Find(letter);
    return drive ? drive->volume.unsupported : std::string();
}

std::optional<VolumeInformation> DriveTable::QueryVolumeInformation(char letter) {
    VolumeDevice* device = DeviceForDrive(letter);
    if (!device) return std::nullopt;
    return ReadVolumeInformation(*device);
}

std::vector<char> DriveTable::Letters() const {
    std::vector<char> letters;
    for (const DriveAssignment& d : drives_) letters.push_back(d.letter);
    return letters;
}

}  // namespace quillo
