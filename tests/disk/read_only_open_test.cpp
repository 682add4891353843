// Opening a volume for reading only (HexExplorer, the ScanDisk copy): reads
// work, writes and locks never do, another program's lock makes the volume
// busy, and our shared locks keep writers out while we look.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>

#include "disk/image_device.h"
#include "disk/volume_copy.h"
#include "tests/support/test_images.h"

namespace quillo {
namespace {

using test::ReadFileBytes;

constexpr uint64_t kVolumeSectors = 8192;  // 4 MiB

// An image's bytes and modification time, to show nothing wrote to it.
struct Stamp {
    std::vector<uint8_t> bytes;
    int64_t mtimeSeconds, mtimeNanoseconds;
    bool operator==(const Stamp&) const = default;
};

Stamp StampOf(const std::string& path) {
    struct stat st {};
    stat(path.c_str(), &st);
    return {ReadFileBytes(path), st.st_mtim.tv_sec, st.st_mtim.tv_nsec};
}

class ReadOnlyOpen : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::HaveFatTools());
        image_ = dir_.File("v16.img");
        ASSERT_TRUE(test::MakeFatImage(image_, kVolumeSectors / 2, "-F 16 -s 1"));
        ASSERT_EQ(test::RunCommand("echo hello > " + dir_.File("a.txt") + " && mcopy -i " + image_ + " " +
                                   dir_.File("a.txt") + " ::A.TXT"),
                  0);
    }
    test::TempDir dir_;
    std::string image_;
};

TEST_F(ReadOnlyOpen, ReadsButNeverWritesOrLocks) {
    const Stamp before = StampOf(image_);
    ImageDevice device(image_, 0, kVolumeSectors);
    ASSERT_TRUE(device.OpenReadOnly());
    EXPECT_TRUE(device.OpenReadOnly());  // already open read-only
    std::vector<uint8_t> sector(512);
    ASSERT_TRUE(device.ReadSectors(0, 1, sector.data()));
    EXPECT_TRUE(std::equal(sector.begin(), sector.end(), before.bytes.begin()));
    std::vector<uint8_t> zeros(512, 0);
    EXPECT_FALSE(device.WriteSectors(0, 1, zeros.data(), WriteKind::Directory));
    EXPECT_FALSE(device.LockVolume(0, false));
    EXPECT_FALSE(device.LockVolume(1, true));
    EXPECT_EQ(device.GetLockState(), -1);
    EXPECT_FALSE(device.Open());  // no climbing to read-write behind the look

    // While we look, a writer cannot take its lock; afterwards it can.
    ImageDevice writer(image_, 0, kVolumeSectors);
    ASSERT_TRUE(writer.Open());
    EXPECT_FALSE(writer.LockVolume(1, false));
    device.Close();
    EXPECT_TRUE(writer.LockVolume(1, false));
    writer.Close();
    EXPECT_TRUE(StampOf(image_) == before);
}

TEST_F(ReadOnlyOpen, AnotherProgramsLockMakesTheVolumeBusy) {
    const struct {
        const char* holder;
        std::function<bool(int fd)> take;
    } locks[] = {
        {"flock exclusive", [](int fd) { return flock(fd, LOCK_EX | LOCK_NB) == 0; }},
        {"record write lock on a few bytes",
         [](int fd) {
             struct flock lock {};
             lock.l_type = F_WRLCK;
             lock.l_start = 100;
             lock.l_len = 4;
             return fcntl(fd, F_OFD_SETLK, &lock) == 0;
         }},
        {"record read lock, as an emulator takes for its shared permissions",
         [](int fd) {
             struct flock lock {};
             lock.l_type = F_RDLCK;
             lock.l_start = 201;
             lock.l_len = 1;
             return fcntl(fd, F_OFD_SETLK, &lock) == 0;
         }},
    };
    for (const auto& lock : locks) {
        const int other = open(image_.c_str(), O_RDWR);
        ASSERT_GE(other, 0);
        ASSERT_TRUE(lock.take(other)) << lock.holder;
        ImageDevice device(image_, 0, kVolumeSectors);
        EXPECT_FALSE(device.OpenReadOnly()) << lock.holder;
        EXPECT_FALSE(device.IsOpen()) << lock.holder;
        close(other);  // the other program ends
        EXPECT_TRUE(device.OpenReadOnly()) << lock.holder;
    }
}

// Drive C: on a disk with an MBR, the volume in partition 1 at 1 MiB, and
// room after it.
DriveAssignment PartitionedDisk(const test::TempDir& dir, const std::string& volume) {
    DriveAssignment drive;
    drive.letter = 'C';
    drive.path = dir.File("disk.img");
    drive.volume.byteOffset = 2048 * 512;
    drive.volume.sectorCount = kVolumeSectors;
    std::vector<uint8_t> mbr(512, 0);
    test::PutPartitionEntry(mbr.data(), 0, 0x06, 2048, kVolumeSectors);
    test::PutSignature(mbr.data());
    test::WriteFileBytes(drive.path, 0, mbr);
    test::WriteFileBytes(drive.path, drive.volume.byteOffset, ReadFileBytes(volume));
    test::SetFileSize(drive.path, (2048 + kVolumeSectors + 2048) * 512);
    return drive;
}

TEST_F(ReadOnlyOpen, VolumeCopyHoldsExactlyThePartitionsSectors) {
    const DriveAssignment drive = PartitionedDisk(dir_, image_);
    const Stamp before = StampOf(drive.path);
    EXPECT_FALSE(VolumeStartsItsFile(drive));

    const std::string target = dir_.File("copy.img");
    VolumeCopy copy(drive, target);
    ASSERT_EQ(copy.Error(), "");
    int steps = 0;
    while (!copy.Done()) {
        ASSERT_TRUE(copy.Step(1 << 20)) << copy.Error();
        ++steps;
    }
    EXPECT_EQ(steps, 4);  // one MiB a step
    EXPECT_EQ(copy.Percent(), 100);
    EXPECT_EQ(ReadFileBytes(target), ReadFileBytes(image_));
    struct stat st {};
    stat(target.c_str(), &st);
    EXPECT_LT(st.st_blocks * 512, st.st_size);  // the free space stayed holes
    EXPECT_TRUE(StampOf(drive.path) == before);
    // fsck.fat reads the copy as the volume itself.
    EXPECT_EQ(test::RunCommand("PATH=\"$PATH:/sbin:/usr/sbin\" fsck.fat -n " + target), 0);
}

TEST_F(ReadOnlyOpen, VolumeCopyOfABusyVolumeIsRefused) {
    const DriveAssignment drive = PartitionedDisk(dir_, image_);
    const int other = open(drive.path.c_str(), O_RDWR);
    ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);
    VolumeCopy copy(drive, dir_.File("copy.img"));
    EXPECT_NE(copy.Error(), "");
    EXPECT_FALSE(copy.Step(1 << 20));
    EXPECT_FALSE(copy.Done());
    close(other);
}

}  // namespace
}  // namespace quillo
