#pragma once
// The volume device on Linux: a FAT volume inside a disk image file or a block
// device, at a byte offset (its partition's start).
#include <sys/types.h>

#include <cstdint>
#include <string>

#include "disk/volume_device.h"

namespace quillo {

class ImageDevice final : public VolumeDevice {
public:
    // The volume is `sectorCount` sectors of 512 bytes starting `byteOffset`
    // bytes into the file or device at `path`. Nothing is opened yet.
    ImageDevice(std::string path, uint64_t byteOffset, uint64_t sectorCount);
    ~ImageDevice() override;

    bool Open() override;
    bool OpenReadOnly() override;
    void Close() override;
    bool IsOpen() const override;
    std::string BusyReason() const override { return busyReason_; }

    int GetLockState() override;
    bool LockVolume(int level, bool othersMayWrite) override;
    void UnlockVolume(int level) override;
    int GetLockFlagState() override;
    int EnumOpenFile(int index, std::string& path) override;
    bool FindSwapFile(std::string& path) override;
    uint32_t GetFirstCluster(const std::string& path) override;
    bool ResetDrive() override;

    bool ReadSectors(uint32_t start, uint32_t count, uint8_t* buffer) override;
    bool WriteSectors(uint32_t start, uint32_t count, const uint8_t* buffer,
                      WriteKind kind) override;
    uint64_t VolumeSectorCount() const override { return sectorCount_; }

    const std::string& path() const { return path_; }
    uint64_t byteOffset() const { return byteOffset_; }

private:
    std::string path_;
    uint64_t byteOffset_;
    uint64_t sectorCount_;
    int fd_ = -1;
    // Further members are the implementation's own.

    // What the lock flag compares: the image's modification time and size.
    struct FileStamp {
        int64_t mtimeSeconds = 0;
        int64_t mtimeNanoseconds = 0;
        int64_t size = 0;
        bool operator==(const FileStamp&) const = default;
    };

    // Opens the file or device with `flags` and checks that the volume fits.
    bool OpenDescriptor(int flags);
    // Read-only opening of an image file: false when another program holds
    // any lock on it; otherwise takes a shared flock and a shared OFD lock.
    bool TakeSharedLocks();
    // Takes the whole-file OFD lock and the flock (and, on a block device,
    // the O_EXCL descriptor); false, holding nothing, when another holder
    // is found.
    bool TakeSystemLocks();
    void ReleaseSystemLocks();
    bool ReadStamp(FileStamp& stamp) const;
    // Whether [start, start + count) lies inside the volume.
    bool InsideVolume(uint32_t start, uint32_t count) const;
    // Before one of our writes: notes an outside change the write's own
    // stamp would hide, and refuses a write that would extend a file that
    // shrank behind our back.
    bool CheckImageBeforeWrite(uint32_t start, uint32_t count);

    bool isBlockDevice_ = false;
    bool readOnly_ = false;
    int exclusiveFd_ = -1;  // block device: held open with O_EXCL while locked
    int lockLevel_ = -1;
    bool othersMayWrite_ = false;
    FileStamp baseline_;          // as our last write or the last flag read left it
    bool changedBehindUs_ = false;  // an outside change seen before one of our writes
    std::string busyReason_;        // what the last failed opening found
};

}  // namespace quillo
