#include "disk/image_device.h"

#include <fcntl.h>
#include <linux/fs.h>  // BLKGETSIZE64
#include <sys/file.h>  // flock
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <utility>

#include "disk/device_open.h"

namespace quillo {
namespace {

// Writes go through the page cache; ResetDrive (fdatasync) is what makes them
// durable, and the engine calls it between ordered steps. Opening with O_DSYNC
// instead (every write durable on return) is the alternative still to be
// measured; it would be added to these flags and nowhere else.
constexpr int kOpenFlags = O_RDWR | O_CLOEXEC | O_NOCTTY;

// The one place that decides what a failed system call means: an interrupted
// call is made again, any other failure fails the operation. The interface
// carries no error detail (the engine reports every failed transfer in the
// same words), so the caller only sees `false`.
template <typename Call>
auto RetryInterrupted(Call call) {
    for (;;) {
        auto result = call();
        if (result != -1 || errno != EINTR) return result;
    }
}

bool IsVolumeFile(const struct stat& st) {
    return S_ISREG(st.st_mode) || S_ISBLK(st.st_mode);
}

// A record lock over the whole file (length 0 reaches past any end).
struct flock WholeFile(short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    lock.l_pid = 0;  // must be 0 for OFD locks
    return lock;
}

// flock(flockMode) and an OFD record lock of `recordType` over the whole file.
bool LockWholeFileBothWays(int fd, int flockMode, short recordType) {
    struct flock whole = WholeFile(recordType);
    return RetryInterrupted([&] { return flock(fd, flockMode | LOCK_NB); }) == 0 &&
           RetryInterrupted([&] { return fcntl(fd, F_OFD_SETLK, &whole); }) == 0;
}

}  // namespace

ImageDevice::ImageDevice(std::string path, uint64_t byteOffset, uint64_t sectorCount)
    : path_(std::move(path)), byteOffset_(byteOffset), sectorCount_(sectorCount) {}

ImageDevice::~ImageDevice() { Close(); }

// Opening an open device keeps it as it is (locks, lock-flag baseline).
bool ImageDevice::Open() {
    if (fd_ >= 0) return !readOnly_;
    return OpenDescriptor(kOpenFlags);
}

// A block device is claimed with O_EXCL, which fails while it is mounted or
// held by another program. On an image file, any lock of another program
// (an emulator's or virtual machine's) makes it busy; our shared locks then
// keep cooperating writers out until we close.
bool ImageDevice::OpenReadOnly() {
    if (fd_ >= 0) return readOnly_;
    struct stat st {};
    if (stat(path_.c_str(), &st) != 0) return false;
    const int exclusive = S_ISBLK(st.st_mode) ? O_EXCL : 0;
    if (!OpenDescriptor(O_RDONLY | O_CLOEXEC | O_NOCTTY | exclusive)) return false;
    readOnly_ = true;
    if (!isBlockDevice_ && !TakeSharedLocks()) {
        Close();
        return false;
    }
    return true;
}

bool ImageDevice::OpenDescriptor(int flags) {
    // Look before opening: opening some character devices has side effects.
    struct stat st {};
    if (stat(path_.c_str(), &st) != 0 || !IsVolumeFile(st)) return false;
    const DeviceOpenResult opened = OpenDeviceFile(path_, flags);
    busyReason_ = opened.fd < 0 ? DescribeOpenFailure(path_, opened) : "";
    const int fd = opened.fd;
    if (fd < 0) return false;
    uint64_t size = 0;
    bool usable = fstat(fd, &st) == 0 && IsVolumeFile(st);  // the path may have changed
    if (usable && S_ISBLK(st.st_mode))
        usable = ioctl(fd, BLKGETSIZE64, &size) == 0;
    else if (usable)
        size = static_cast<uint64_t>(st.st_size);
    const uint64_t maxSectors = (std::numeric_limits<uint64_t>::max() - byteOffset_) / kSectorSize;
    if (!usable || sectorCount_ > maxSectors || byteOffset_ + sectorCount_ * kSectorSize > size) {
        close(fd);
        return false;
    }
    fd_ = fd;
    isBlockDevice_ = S_ISBLK(st.st_mode);
    readOnly_ = false;
    lockLevel_ = -1;
    othersMayWrite_ = false;
    changedBehindUs_ = false;
    if (!ReadStamp(baseline_)) changedBehindUs_ = true;
    return true;
}

void ImageDevice::Close() {
    if (fd_ < 0) return;
    ReleaseSystemLocks();
    close(fd_);  // never retried: on Linux the descriptor is gone even after EINTR
    fd_ = -1;
    readOnly_ = false;
    lockLevel_ = -1;
}

bool ImageDevice::IsOpen() const { return fd_ >= 0; }

// A closed device holds no lock, hence -1.
int ImageDevice::GetLockState() { return fd_ >= 0 ? lockLevel_ : -1; }

// Levels 0 and 1 are the only ones that touch the system: both hold the same
// locks. Levels 2 and 3 are bookkeeping on top of level 1, since the locks
// already keep cooperating programs out. othersMayWrite is only remembered:
// Linux locks are advisory and cannot make another program's writes fail.
bool ImageDevice::LockVolume(int level, bool othersMayWrite) {
    if (fd_ < 0 || readOnly_) return false;
    switch (level) {
        case 0:
        case 1:
            if (lockLevel_ != -1 || !TakeSystemLocks()) return false;
            othersMayWrite_ = othersMayWrite;
            break;
        case 2:
            if (lockLevel_ != 1) return false;
            break;
        case 3:
            if (lockLevel_ != 2) return false;
            break;
        default:
            return false;
    }
    lockLevel_ = level;
    return true;
}

void ImageDevice::UnlockVolume(int level) {
    if (fd_ < 0 || level < 0 || level != lockLevel_) return;
    if (level >= 2) {
        lockLevel_ = level - 1;
        return;
    }
    ReleaseSystemLocks();
    lockLevel_ = -1;
}

// Reads and clears: 1 when the image's modification time or size moved since
// the baseline. A block device has no such stamp and always reads 0. The stamp
// has the file system's timestamp granularity: an outside write of the same
// size in the same clock tick as our own last write goes unseen; the locks we
// hold are what keeps cooperating programs from writing in the first place.
int ImageDevice::GetLockFlagState() {
    if (fd_ < 0) return -1;
    if (isBlockDevice_) return 0;
    FileStamp now;
    if (!ReadStamp(now)) return -1;
    const bool changed = changedBehindUs_ || now != baseline_;
    baseline_ = now;
    changedBehindUs_ = false;
    return changed ? 1 : 0;
}

int ImageDevice::EnumOpenFile(int index, std::string& path) {
    path.clear();
    return -1;  // an image has no files open by other programs
}

bool ImageDevice::FindSwapFile(std::string& path) {
    path.clear();
    return false;
}

uint32_t ImageDevice::GetFirstCluster(const std::string& path) { return 0; }

bool ImageDevice::ResetDrive() {
    return fd_ >= 0 && RetryInterrupted([&] { return fdatasync(fd_); }) == 0;
}

bool ImageDevice::ReadSectors(uint32_t start, uint32_t count, uint8_t* buffer) {
    if (fd_ < 0 || !InsideVolume(start, count) || (count > 0 && buffer == nullptr)) return false;
    const uint64_t total = uint64_t{count} * kSectorSize;
    const uint64_t base = byteOffset_ + uint64_t{start} * kSectorSize;
    for (uint64_t done = 0; done < total;) {
        const ssize_t n = RetryInterrupted(
            [&] { return pread(fd_, buffer + done, total - done, static_cast<off_t>(base + done)); });
        if (n <= 0) return false;  // 0: the file ends before the volume (shrunk behind our back)
        done += static_cast<uint64_t>(n);
    }
    return true;
}

bool ImageDevice::WriteSectors(uint32_t start, uint32_t count, const uint8_t* buffer,
                               WriteKind kind) {
    if (fd_ < 0 || readOnly_ || !InsideVolume(start, count) || (count > 0 && buffer == nullptr))
        return false;
    if (count == 0) return true;
    if (!isBlockDevice_ && !CheckImageBeforeWrite(start, count)) return false;
    const uint64_t total = uint64_t{count} * kSectorSize;
    const uint64_t base = byteOffset_ + uint64_t{start} * kSectorSize;
    for (uint64_t done = 0; done < total;) {
        const ssize_t n = RetryInterrupted(
            [&] { return pwrite(fd_, buffer + done, total - done, static_cast<off_t>(base + done)); });
        if (n <= 0) return false;
        done += static_cast<uint64_t>(n);
    }
    // Our own write moves the stamp; take it as the new baseline so the lock
    // flag only reports others. If the stamp cannot be read the next flag
    // read fails too, which counts as an outside write: the safe side.
    if (!isBlockDevice_ && !ReadStamp(baseline_)) changedBehindUs_ = true;
    return true;
}

bool ImageDevice::TakeSystemLocks() {
    if (isBlockDevice_) {
        // Fails with EBUSY while the device is mounted or another program
        // holds it open exclusively.
        const DeviceOpenResult claimed = OpenDeviceFile(path_, kOpenFlags | O_EXCL);
        busyReason_ = claimed.fd < 0 ? DescribeOpenFailure(path_, claimed) : "";
        exclusiveFd_ = claimed.fd;
        struct stat ours {}, held {};
        if (exclusiveFd_ < 0 || fstat(fd_, &ours) != 0 || fstat(exclusiveFd_, &held) != 0 ||
            held.st_rdev != ours.st_rdev) {
            ReleaseSystemLocks();
            return false;
        }
    }
    // Emulators and virtual machines lock their disk images with flock or
    // with record locks (POSIX or OFD), often over a few bytes only. flock
    // finds the first kind; an OFD write lock over the whole file conflicts
    // with both record kinds, whoever holds them.
    if (!LockWholeFileBothWays(fd_, LOCK_EX, F_WRLCK)) {
        ReleaseSystemLocks();
        return false;
    }
    return true;
}

bool ImageDevice::TakeSharedLocks() {
    struct flock probe = WholeFile(F_WRLCK);
    if (RetryInterrupted([&] { return fcntl(fd_, F_OFD_GETLK, &probe); }) != 0 ||
        probe.l_type != F_UNLCK)
        return false;  // somebody holds a record lock on some part of the file
    if (!LockWholeFileBothWays(fd_, LOCK_SH, F_RDLCK)) {
        ReleaseSystemLocks();
        return false;
    }
    return true;
}

// Unlocks explicitly rather than relying on close: a forked child sharing our
// open file description would otherwise keep the locks alive.
void ImageDevice::ReleaseSystemLocks() {
    struct flock whole = WholeFile(F_UNLCK);
    fcntl(fd_, F_OFD_SETLK, &whole);
    flock(fd_, LOCK_UN);
    if (exclusiveFd_ >= 0) close(exclusiveFd_);
    exclusiveFd_ = -1;
}

bool ImageDevice::ReadStamp(FileStamp& stamp) const {
    struct stat st {};
    if (fstat(fd_, &st) != 0) return false;
    stamp.mtimeSeconds = st.st_mtim.tv_sec;
    stamp.mtimeNanoseconds = st.st_mtim.tv_nsec;
    stamp.size = st.st_size;
    return true;
}

bool ImageDevice::InsideVolume(uint32_t start, uint32_t count) const {
    return uint64_t{start} + count <= sectorCount_;
}

bool ImageDevice::CheckImageBeforeWrite(uint32_t start, uint32_t count) {
    FileStamp now;
    if (!ReadStamp(now)) {
        changedBehindUs_ = true;
        return false;  // without the size, the write might extend the file
    }
    if (now != baseline_) changedBehindUs_ = true;
    const uint64_t end = byteOffset_ + (uint64_t{start} + count) * kSectorSize;
    return end <= static_cast<uint64_t>(now.size);
}

}  // namespace quillo
