#pragma once
// A copy of one volume's sectors in a file of its own, for a checker that
// can only be given a whole file or device (fsck.fat has no offset option).
// The volume is read through a read-only device; nothing is written but the
// copy, in which blocks of zeros stay holes. The copy is made a step at a
// time, so a window can keep serving its events.
#include <cstdint>
#include <string>

#include "disk/drive_letters.h"
#include "disk/image_device.h"

namespace quillo {

// Whether the volume is its file from the first byte on: a checker can then
// be given the file itself.
bool VolumeStartsItsFile(const DriveAssignment& drive);

class VolumeCopy {
public:
    // Opens the drive's volume read-only and creates `target` (mode 0600).
    // Check Error() before the first Step.
    VolumeCopy(const DriveAssignment& drive, std::string target);
    ~VolumeCopy();
    VolumeCopy(const VolumeCopy&) = delete;
    VolumeCopy& operator=(const VolumeCopy&) = delete;

    // Copies up to `maxBytes` more. False once something failed; Error()
    // then says what, and the copy is closed.
    bool Step(uint64_t maxBytes);
    bool Done() const { return error_.empty() && copiedSectors_ == totalSectors_; }
    int Percent() const;
    const std::string& Error() const { return error_; }
    const std::string& Target() const { return target_; }

private:
    void Fail(const std::string& what);

    ImageDevice source_;
    std::string target_;
    int fd_ = -1;
    uint64_t totalSectors_ = 0;
    uint64_t copiedSectors_ = 0;
    std::string error_;
};

}  // namespace quillo
