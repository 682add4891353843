#include "disk/image_device.h"

#include <fcntl.h>
#include <signal.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <limits>
#include <vector>

#include "tests/support/test_images.h"

namespace quillo {
namespace {

enum class LockKind { Flock, Posix, Ofd };
const LockKind kAllKinds[] = {LockKind::Flock, LockKind::Posix, LockKind::Ofd};

// Takes `kind` on `path` through a new descriptor, without waiting. Record
// locks cover a few bytes only, as emulators take them.
bool TryLock(const std::string& path, LockKind kind) {
    const int fd = open(path.c_str(), O_RDWR);
    if (fd < 0) return false;
    if (kind == LockKind::Flock) return flock(fd, LOCK_EX | LOCK_NB) == 0;
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_start = 1000;
    range.l_len = 4;
    return fcntl(fd, kind == LockKind::Posix ? F_SETLK : F_OFD_SETLK, &range) == 0;
}

// Another process that tries `kind` on the image and holds what it got until
// this object goes away.
class ChildLock {
public:
    ChildLock(const std::string& path, LockKind kind) {
        int ready[2];
        if (pipe(ready) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            const char ok = TryLock(path, kind) ? 1 : 0;
            (void)!write(ready[1], &ok, 1);
            for (;;) pause();  // until killed
        }
        char ok = 0;
        locked_ = pid_ > 0 && read(ready[0], &ok, 1) == 1 && ok == 1;
        close(ready[0]);
        close(ready[1]);
    }
    ~ChildLock() {
        if (pid_ <= 0) return;
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    bool locked() const { return locked_; }

private:
    pid_t pid_ = -1;
    bool locked_ = false;
};

bool ChildCanLock(const std::string& path, LockKind kind) { return ChildLock(path, kind).locked(); }

class ImageDeviceTest : public ::testing::Test {
protected:
    // A patterned image with an old modification time, so that any later
    // write moves the time whatever the file system's clock granularity.
    void MakeImage(size_t bytes) {
        std::vector<uint8_t> pattern(bytes);
        for (size_t i = 0; i < bytes; ++i) pattern[i] = static_cast<uint8_t>(i * 7 + i / 512);
        ASSERT_TRUE(test::WriteFileBytes(path_, 0, pattern));
        SetModificationTime(1000000000);
    }
    void SetModificationTime(time_t seconds) {
        const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
        ASSERT_EQ(utimensat(AT_FDCWD, path_.c_str(), times, 0), 0);
    }
    std::vector<uint8_t> FileBytes() const { return test::ReadFileBytes(path_); }

    test::TempDir dir_;
    std::string path_ = dir_.File("disk.img");
};

TEST_F(ImageDeviceTest, AnotherProcessLockKeepsUsOutUntilItGoes) {
    MakeImage(16 * 512);
    const std::vector<uint8_t> before = FileBytes();
    ImageDevice device(path_, 0, 16);
    ASSERT_TRUE(device.Open());
    for (LockKind kind : kAllKinds) {
        SCOPED_TRACE(static_cast<int>(kind));
        {
            ChildLock holder(path_, kind);
            ASSERT_TRUE(holder.locked());
            EXPECT_FALSE(device.LockVolume(0, false));
            EXPECT_FALSE(device.LockVolume(1, true));
            EXPECT_EQ(device.GetLockState(), -1);
            // The failed attempt let go of whatever it had taken before it met the holder.
            EXPECT_TRUE(ChildCanLock(path_, kind == LockKind::Flock ? LockKind::Ofd : LockKind::Flock));
        }
        EXPECT_TRUE(device.LockVolume(1, false));
        device.UnlockVolume(1);
    }
    EXPECT_EQ(FileBytes(), before);
}

TEST_F(ImageDeviceTest, HeldLevelsAreSeenByOtherProcessesUntilReleased) {
    MakeImage(16 * 512);
    ImageDevice device(path_, 0, 16);
    ASSERT_TRUE(device.Open());
    for (int level : {0, 1}) {
        ASSERT_TRUE(device.LockVolume(level, true));
        for (LockKind kind : kAllKinds) EXPECT_FALSE(ChildCanLock(path_, kind)) << level;
        device.UnlockVolume(level);
        for (LockKind kind : kAllKinds) EXPECT_TRUE(ChildCanLock(path_, kind)) << level;
    }
    // Closing while high on the ladder lets go too, even while a forked child
    // still shares our open file description.
    ASSERT_TRUE(device.LockVolume(1, false) && device.LockVolume(2, false) && device.LockVolume(3, false));
    ChildLock sharer(path_, LockKind::Posix);
    EXPECT_FALSE(sharer.locked());
    device.Close();
    EXPECT_EQ(device.GetLockState(), -1);
    for (LockKind kind : kAllKinds) EXPECT_TRUE(ChildCanLock(path_, kind));
}

TEST_F(ImageDeviceTest, LevelsClimbOneAtATimeAndOnlyTheCurrentOneUnlocks) {
    MakeImage(16 * 512);
    ImageDevice device(path_, 0, 16);
    EXPECT_FALSE(device.LockVolume(1, false));  // closed
    ASSERT_TRUE(device.Open());
    for (int level : {2, 3}) EXPECT_FALSE(device.LockVolume(level, false)) << level;
    ASSERT_TRUE(device.LockVolume(1, false));
    for (int level : {1, 0, 3}) EXPECT_FALSE(device.LockVolume(level, false)) << level;
    ASSERT_TRUE(device.LockVolume(2, false) && device.LockVolume(3, false));
    for (int wrong : {2, 1, 0, -1}) device.UnlockVolume(wrong);
    EXPECT_EQ(device.GetLockState(), 3);
    for (int level = 3; level >= 1; --level) {
        device.UnlockVolume(level);
        EXPECT_EQ(device.GetLockState(), level == 1 ? -1 : level - 1);
    }
    ASSERT_TRUE(device.LockVolume(0, false));
    EXPECT_FALSE(device.LockVolume(2, false));
    device.UnlockVolume(1);
    EXPECT_EQ(device.GetLockState(), 0);
    device.UnlockVolume(0);
    EXPECT_EQ(device.GetLockState(), -1);
}

TEST_F(ImageDeviceTest, LockFlagReportsOutsideChangesOnceAndNeverOurOwnWrites) {
    MakeImage(16 * 512);
    ImageDevice device(path_, 0, 16);
    EXPECT_EQ(device.GetLockFlagState(), -1);  // closed
    ASSERT_TRUE(device.Open());
    EXPECT_EQ(device.GetLockFlagState(), 0);
    ASSERT_TRUE(test::WriteFileBytes(path_, 100, {0xEE}));
    EXPECT_EQ(device.GetLockFlagState(), 1);
    EXPECT_EQ(device.GetLockFlagState(), 0);
    SetModificationTime(1200000000);  // touch: same bytes, new time
    EXPECT_EQ(device.GetLockFlagState(), 1);
    EXPECT_EQ(device.GetLockFlagState(), 0);

    std::vector<uint8_t> sector(512, 0x5A);
    for (uint32_t s : {1u, 2u, 1u}) ASSERT_TRUE(device.WriteSectors(s, 1, sector.data(), WriteKind::FileData));
    EXPECT_EQ(device.GetLockFlagState(), 0);

    // An outside change just before one of our writes is not hidden by it.
    SetModificationTime(1300000000);
    EXPECT_EQ(device.GetLockFlagState(), 1);
    ASSERT_TRUE(test::WriteFileBytes(path_, 200, {0xEE}));
    ASSERT_TRUE(device.WriteSectors(3, 1, sector.data(), WriteKind::FileData));
    EXPECT_EQ(device.GetLockFlagState(), 1);
    EXPECT_EQ(device.GetLockFlagState(), 0);
}

TEST_F(ImageDeviceTest, TransfersLandAtTheVolumeOffsetAndNeverLeaveTheVolume) {
    constexpr size_t kOffset = 1 << 20;
    MakeImage(kOffset + 8 * 512 + 4096);  // the volume ends before the file does
    ImageDevice device(path_, kOffset, 8);
    ASSERT_TRUE(device.Open());
    std::vector<uint8_t> expected = FileBytes();
    std::vector<uint8_t> ours(2 * 512);
    for (size_t i = 0; i < ours.size(); ++i) ours[i] = static_cast<uint8_t>(~i);
    ASSERT_TRUE(device.WriteSectors(0, 1, ours.data(), WriteKind::Directory));
    ASSERT_TRUE(device.WriteSectors(7, 1, ours.data() + 512, WriteKind::Directory));
    std::copy(ours.begin(), ours.begin() + 512, expected.begin() + kOffset);
    std::copy(ours.begin() + 512, ours.end(), expected.begin() + kOffset + 7 * 512);
    EXPECT_EQ(FileBytes(), expected);

    std::vector<uint8_t> back(2 * 512, 0);
    ASSERT_TRUE(device.ReadSectors(7, 1, back.data()));
    EXPECT_TRUE(std::equal(back.begin(), back.begin() + 512, ours.begin() + 512));
    EXPECT_TRUE(device.ReadSectors(3, 0, nullptr));

    const uint32_t kFar = std::numeric_limits<uint32_t>::max();
    const std::pair<uint32_t, uint32_t> outside[] = {{7, 2}, {8, 1}, {kFar, 2}, {1, kFar}};
    for (auto [start, count] : outside) {
        std::vector<uint8_t> sentinel(2 * 512, 0xC3);
        EXPECT_FALSE(device.ReadSectors(start, count, sentinel.data())) << start << "+" << count;
        EXPECT_EQ(sentinel, std::vector<uint8_t>(2 * 512, 0xC3));
        EXPECT_FALSE(device.WriteSectors(start, count, ours.data(), WriteKind::FileData));
    }
    EXPECT_EQ(FileBytes(), expected);
    EXPECT_TRUE(device.ResetDrive());
    device.Close();
    EXPECT_FALSE(device.ReadSectors(0, 1, back.data()));
    EXPECT_FALSE(device.WriteSectors(0, 1, ours.data(), WriteKind::FileData));
    EXPECT_FALSE(device.ResetDrive());
}

TEST_F(ImageDeviceTest, OpenRefusesWhatCannotHoldTheVolumeAndWritesNeverRegrowIt) {
    EXPECT_FALSE(ImageDevice(path_, 0, 1).Open());
    EXPECT_NE(access(path_.c_str(), F_OK), 0);  // never created
    EXPECT_FALSE(ImageDevice(dir_.path(), 0, 1).Open());
    MakeImage(16 * 512);
    EXPECT_TRUE(ImageDevice(path_, 512, 15).Open());
    EXPECT_FALSE(ImageDevice(path_, 512, 16).Open());
    EXPECT_FALSE(ImageDevice(path_, 0, std::numeric_limits<uint64_t>::max() / 256).Open());
    EXPECT_EQ(FileBytes().size(), 16u * 512);

    // An image that shrank behind our back is not grown again by a write.
    ImageDevice device(path_, 0, 16);
    ASSERT_TRUE(device.Open());
    ASSERT_EQ(truncate(path_.c_str(), 8 * 512), 0);
    std::vector<uint8_t> sector(512, 0x11);
    EXPECT_FALSE(device.WriteSectors(12, 1, sector.data(), WriteKind::FileData));
    EXPECT_FALSE(device.ReadSectors(12, 1, sector.data()));
    EXPECT_EQ(FileBytes().size(), 8u * 512);
    EXPECT_EQ(device.GetLockFlagState(), 1);
}

TEST_F(ImageDeviceTest, ExclusiveHolderOfALoopDeviceKeepsUsOut) {
    MakeImage(64 * 512);
    std::string loop;
    if (test::RunCommand("losetup -f --show " + test::ShellQuote(path_), &loop) != 0)
        GTEST_SKIP() << "losetup cannot attach a loop device here";
    loop.erase(loop.find_last_not_of('\n') + 1);
    struct Detach {
        std::string loop;
        ~Detach() { test::RunCommand("losetup -d " + test::ShellQuote(loop)); }
    } detach{loop};

    EXPECT_FALSE(ImageDevice(loop, 0, 65).Open());  // size from the device, not the node
    ImageDevice device(loop, 0, 64);
    ASSERT_TRUE(device.Open());
    const int holder = open(loop.c_str(), O_RDWR | O_EXCL);
    ASSERT_GE(holder, 0);
    EXPECT_FALSE(device.LockVolume(1, false));
    EXPECT_FALSE(device.LockVolume(0, false));
    EXPECT_EQ(device.GetLockState(), -1);
    close(holder);
    ASSERT_TRUE(device.LockVolume(1, false));
    EXPECT_LT(open(loop.c_str(), O_RDWR | O_EXCL), 0);
    EXPECT_EQ(errno, EBUSY);
    device.UnlockVolume(1);
    const int after = open(loop.c_str(), O_RDWR | O_EXCL);
    EXPECT_GE(after, 0);
    close(after);

    // A device has no size stamp that a write could be checked against.
    std::vector<uint8_t> sector(512, 0x3C);
    EXPECT_TRUE(device.WriteSectors(63, 1, sector.data(), WriteKind::FileData));
}

}  // namespace
}  // namespace quillo
