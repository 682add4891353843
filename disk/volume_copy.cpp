#include "disk/volume_copy.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace quillo {
namespace {

constexpr uint32_t kBlockSectors = 128;  // 64 KiB: a hole is left for each block of zeros

bool AllZero(const std::vector<uint8_t>& bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

}  // namespace

bool VolumeStartsItsFile(const DriveAssignment& drive) { return drive.volume.byteOffset == 0; }

VolumeCopy::VolumeCopy(const DriveAssignment& drive, std::string target)
    : source_(drive.path, drive.volume.byteOffset, drive.volume.sectorCount),
      target_(std::move(target)),
      totalSectors_(drive.volume.sectorCount) {
    if (!source_.OpenReadOnly()) {
        error_ = "the drive is busy: another program holds it, or it cannot be read";
        return;
    }
    fd_ = open(target_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        Fail("cannot create " + target_);
        return;
    }
    // The whole size at once, as holes: the copy only fills in what is not zero.
    if (ftruncate(fd_, static_cast<off_t>(totalSectors_ * kSectorSize)) != 0) Fail("cannot size " + target_);
}

VolumeCopy::~VolumeCopy() {
    if (fd_ >= 0) close(fd_);
    source_.Close();
}

bool VolumeCopy::Step(uint64_t maxBytes) {
    if (!error_.empty()) return false;
    std::vector<uint8_t> block;
    uint64_t budget = std::max<uint64_t>(maxBytes / kSectorSize, 1);
    while (copiedSectors_ < totalSectors_ && budget > 0) {
        const uint32_t count =
            static_cast<uint32_t>(std::min<uint64_t>({kBlockSectors, totalSectors_ - copiedSectors_, budget}));
        block.resize(size_t{count} * kSectorSize);
        if (!source_.ReadSectors(static_cast<uint32_t>(copiedSectors_), count, block.data())) {
            Fail("reading sector " + std::to_string(copiedSectors_) + " of the volume failed");
            return false;
        }
        if (!AllZero(block)) {
            const off_t at = static_cast<off_t>(copiedSectors_ * kSectorSize);
            for (size_t done = 0; done < block.size();) {
                const ssize_t n = pwrite(fd_, block.data() + done, block.size() - done, at + static_cast<off_t>(done));
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) {
                    Fail("writing the copy failed (" + std::string(std::strerror(n < 0 ? errno : ENOSPC)) + ")");
                    return false;
                }
                done += static_cast<size_t>(n);
            }
        }
        copiedSectors_ += count;
        budget -= count;
    }
    if (copiedSectors_ == totalSectors_) {
        source_.Close();
        if (close(fd_) != 0) {
            fd_ = -1;
            Fail("writing the copy failed");
            return false;
        }
        fd_ = -1;
    }
    return true;
}

int VolumeCopy::Percent() const {
    return totalSectors_ == 0 ? 100 : static_cast<int>(copiedSectors_ * 100 / totalSectors_);
}

void VolumeCopy::Fail(const std::string& what) {
    error_ = what;
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
    source_.Close();
}

}  // namespace quillo
