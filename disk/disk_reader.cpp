#include "disk/disk_reader.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "disk/device_open.h"

namespace quillo {
namespace {

bool RangeInside(uint64_t offset, size_t length, uint64_t size) {
    return offset <= size && length <= size - offset;
}

std::string ErrnoText(const std::string& what) { return what + ": " + std::strerror(errno); }

class FileDiskReader final : public DiskReader {
public:
    FileDiskReader(int fd, uint64_t size) : fd_(fd), size_(size) {}
    ~FileDiskReader() override { ::close(fd_); }

    uint64_t SizeBytes() const override { return size_; }

    bool Read(uint64_t offset, size_t length, uint8_t* out) override {
        if (!RangeInside(offset, length, size_)) return false;
        while (length > 0) {
            ssize_t n = ::pread(fd_, out, length, static_cast<off_t>(offset));
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;  // error, or the file shrank under us
            out += n;
            offset += static_cast<uint64_t>(n);
            length -= static_cast<size_t>(n);
        }
        return true;
    }

private:
    int fd_;
    uint64_t size_;
};

}  // namespace

std::unique_ptr<DiskReader> OpenDiskFile(const std::string& path, std::string* error) {
    const DeviceOpenResult opened = OpenDeviceFile(path, O_RDONLY | O_CLOEXEC);
    const int fd = opened.fd;
    if (fd < 0) {
        errno = opened.error;
        if (error) *error = opened.note.empty() ? ErrnoText("cannot open") : "cannot open: " + opened.note;
        return nullptr;
    }
    struct stat st {};
    uint64_t size = 0;
    bool sized = false;
    if (::fstat(fd, &st) == 0) {
        if (S_ISREG(st.st_mode)) {
            size = static_cast<uint64_t>(st.st_size);
            sized = true;
        } else if (S_ISBLK(st.st_mode)) {
            sized = ::ioctl(fd, BLKGETSIZE64, &size) == 0;
        } else {
            if (error) *error = "neither an image file nor a block device";
            ::close(fd);
            return nullptr;
        }
    }
    if (!sized) {
        if (error) *error = ErrnoText("cannot size");
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<FileDiskReader>(fd, size);
}

bool MemoryDiskReader::Read(uint64_t offset, size_t length, uint8_t* out) {
    if (!RangeInside(offset, length, bytes_.size())) return false;
    if (length > 0) std::memcpy(out, bytes_.data() + offset, length);
    return true;
}

}  // namespace quillo
