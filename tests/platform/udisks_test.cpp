// The UDisks2 path against a stand-in service on a private bus: the client
// itself, and the console program run by a user who may not open the device.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "disk/mount_points.h"
#include "platform/udisks.h"
#include "tests/support/console_run.h"
#include "tests/support/private_bus.h"

namespace quillo {
namespace {

using test::ShellQuote;

class UdisksClient : public ::testing::Test {
protected:
    void SetUp() override {
        if (!bus.Running()) GTEST_SKIP() << "dbus-daemon missing";
        ASSERT_TRUE(test::WriteFileBytes(image, 0, std::vector<uint8_t>(4096, 0x5A)));
    }
    test::TempDir dir;
    std::string image = dir.File("stick.img");
    test::PrivateSystemBus bus;
};

TEST_F(UdisksClient, OpensInTheModeAskedAndHandsOverTheDescriptor) {
    ASSERT_TRUE(bus.StartUdisks({"/dev/sdq=" + image}));
    struct Case {
        bool writable, exclusive;
        const char* logged;
    };
    for (const Case c : {Case{false, false, "/dev/sdq r shared"}, Case{false, true, "/dev/sdq r excl"},
                         Case{true, true, "/dev/sdq rw excl"}}) {
        const UdisksOpening opening = OpenThroughUdisks("/dev/sdq", c.writable, c.exclusive);
        ASSERT_GE(opening.fd, 0) << opening.message;
        uint8_t byte = 0;
        EXPECT_EQ(pread(opening.fd, &byte, 1, 100), 1);
        EXPECT_EQ(byte, 0x5A);
        EXPECT_EQ(pwrite(opening.fd, &byte, 1, 0) == 1, c.writable) << c.logged;
        EXPECT_TRUE(fcntl(opening.fd, F_GETFD) & FD_CLOEXEC);
        close(opening.fd);
        EXPECT_NE(bus.OpenLog().find(c.logged), std::string::npos) << bus.OpenLog();
    }
}

TEST_F(UdisksClient, RefusalsSayWhyInOneLine) {
    ASSERT_TRUE(bus.StartUdisks({"/dev/sdq=" + image + ",busy"}));
    const UdisksOpening busy = OpenThroughUdisks("/dev/sdq", true, true);
    EXPECT_EQ(busy.fd, -1);
    EXPECT_TRUE(busy.busy);
    EXPECT_NE(busy.message.find("busy"), std::string::npos) << busy.message;
    // Without the claim a busy device still opens (a mounted stick can be read).
    const UdisksOpening shared = OpenThroughUdisks("/dev/sdq", false, false);
    EXPECT_GE(shared.fd, 0);
    close(shared.fd);

    const UdisksOpening unknown = OpenThroughUdisks("/dev/sdz", false, false);
    EXPECT_TRUE(unknown.serviceFound);
    EXPECT_FALSE(unknown.busy);
    EXPECT_EQ(unknown.fd, -1);
    EXPECT_EQ(unknown.message, "UDisks2 does not know /dev/sdz");
    for (const std::string& m : {busy.message, unknown.message}) EXPECT_EQ(m.find('\n'), std::string::npos);
}

TEST_F(UdisksClient, NoServiceIsOneClearLine) {
    // A bus without the service, then no bus at all.
    for (const std::string& address : {bus.address(), std::string("unix:path=") + dir.File("nobus")}) {
        setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
        const UdisksOpening opening = OpenThroughUdisks("/dev/sdq", false, false);
        EXPECT_FALSE(opening.serviceFound) << address;
        EXPECT_EQ(opening.message, kNoUdisksService);
        std::string problem;
        EXPECT_TRUE(RemovableFatVolumes(&problem).empty());
        EXPECT_EQ(problem, kNoUdisksService);
    }
}

TEST_F(UdisksClient, ListsTheFatVolumesOfRemovableDrivesOnly) {
    ASSERT_TRUE(bus.StartUdisks({"/dev/sdq1=" + image + ",label=STICK,mounted=/media/u/STICK",
                                 "/dev/sda1=" + image + ",fixed", "/dev/mmcblk0p1=" + image}));
    std::string problem;
    const std::vector<RemovableVolume> volumes = RemovableFatVolumes(&problem);
    EXPECT_EQ(problem, "");
    ASSERT_EQ(volumes.size(), 2u);
    EXPECT_EQ(volumes[0].device, "/dev/mmcblk0p1");
    EXPECT_TRUE(volumes[0].mountPoints.empty());
    EXPECT_EQ(volumes[1].device, "/dev/sdq1");
    EXPECT_EQ(volumes[1].label, "STICK");
    EXPECT_EQ(volumes[1].sizeBytes, 4096u);
    EXPECT_EQ(volumes[1].mountPoints, std::vector<std::string>{"/media/u/STICK"});
}

TEST(MountPoints, MountinfoLinesOfTheDeviceAndItsPartitions) {
    const std::string mountinfo =
        "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
        "90 22 8:17 / /media/u/MY\\040STICK rw,nosuid shared:50 - vfat /dev/sdb1 rw\n"
        "91 22 8:18 / /media/u/SECOND rw shared:51 - vfat /dev/sdb2 rw\n"
        "92 22 8:17 / /mnt/again rw shared:52 - vfat /dev/sdb1 rw\n"
        "garbage\n";
    struct Case {
        std::vector<std::string> devices;
        std::vector<std::string> mounts;
    };
    for (const Case& c : {Case{{"8:16", "8:17"}, {"/media/u/MY STICK", "/mnt/again"}},
                          Case{{"8:16", "8:17", "8:18"}, {"/media/u/MY STICK", "/media/u/SECOND", "/mnt/again"}},
                          Case{{"8:32"}, {}}, Case{{"8:1"}, {"/"}}})
        EXPECT_EQ(MountPointsIn(mountinfo, c.devices), c.mounts);
    EXPECT_TRUE(MountPointsOfDevice("/etc/hostname").empty());  // no block device
}

// The console program as a user who may not open the device: a loop device
// (root's alone) over a fragmented image, opened through the stand-in.
class UdisksConsole : public UdisksClient {
protected:
    void SetUp() override {
        UdisksClient::SetUp();
        if (IsSkipped()) return;
        if (geteuid() != 0 || !test::HaveFatTools()) GTEST_SKIP() << "needs root and the FAT tools";
        ASSERT_TRUE(test::MakeFragImage(disk, "--fat 16 --size-mb 16 --files 30 --seed 7"));
        std::string device;
        if (test::RunCommand("losetup --find --show " + ShellQuote(disk), &device) != 0)
            GTEST_SKIP() << "no loop device: " << device;
        loop = device.substr(0, device.find('\n'));
        // The program and a config folder that the user nobody can reach.
        chmod(dir.path().c_str(), 0755);
        ASSERT_EQ(test::RunCommand("cp " QUILLO_CLI_PATH " " + ShellQuote(dir.File("quillo-cli"))), 0);
        mkdir(dir.File("config").c_str(), 0777);
        chmod(dir.File("config").c_str(), 0777);
    }
    void TearDown() override {
        if (!loop.empty()) test::RunCommand("losetup -d " + loop);
    }
    test::ConsoleRun AsNobody(const std::string& args) {
        test::ConsoleRun run;
        run.status = test::RunCommand("setpriv --reuid=65534 --regid=65534 --clear-groups env XDG_CONFIG_HOME=" +
                                          ShellQuote(dir.File("config")) + " " + ShellQuote(dir.File("quillo-cli")) +
                                          " --disk " + loop + " " + args,
                                      &run.output);
        return run;
    }
    std::string Digest() {
        std::string out;
        test::RunCommand("python3 " + ShellQuote(std::string(QUILLO_TOOLS_DIR) + "/fatcheck") +
                             " --contents-digest " + ShellQuote(disk),
                         &out);
        return out;
    }
    std::string disk = dir.File("disk.img");
    std::string loop;
};

TEST_F(UdisksConsole, CheckAndDefragThroughTheService) {
    ASSERT_TRUE(bus.StartUdisks({loop + "=" + loop}));
    const std::string before = Digest();
    const std::vector<uint8_t> bytes = test::ReadFileBytes(disk);
    const test::ConsoleRun check = AsNobody("check C");
    EXPECT_EQ(check.status, 0) << check.output;
    EXPECT_EQ(test::ReadFileBytes(disk), bytes) << "a Check wrote";
    // Letters are read read-only; the run's claim is exclusive.
    EXPECT_NE(bus.OpenLog().find(loop + " r shared"), std::string::npos) << bus.OpenLog();
    EXPECT_NE(bus.OpenLog().find(loop + " rw excl"), std::string::npos) << bus.OpenLog();

    const test::ConsoleRun defrag = AsNobody("--json defrag C");
    EXPECT_EQ(defrag.status, 0) << defrag.output;
    EXPECT_GT(test::JsonNumber(defrag.Json(), "moved_files").value_or(0), 0) << defrag.output;
    EXPECT_EQ(test::RunCommand("fsck.fat -n " + ShellQuote(disk)), 0);
    EXPECT_EQ(Digest(), before);
}

TEST_F(UdisksConsole, ClaimedDeviceIsBusyAndUnservedOneIsExplained) {
    ASSERT_TRUE(bus.StartUdisks({loop + "=" + loop}));
    const int claim = open(loop.c_str(), O_RDONLY | O_EXCL);  // as a mount holds it
    ASSERT_GE(claim, 0);
    const std::vector<uint8_t> bytes = test::ReadFileBytes(disk);
    const test::ConsoleRun busy = AsNobody("defrag C");
    close(claim);
    EXPECT_EQ(busy.status, 3) << busy.output;
    EXPECT_EQ(test::ReadFileBytes(disk), bytes);

    setenv("DBUS_SYSTEM_BUS_ADDRESS", (std::string("unix:path=") + dir.File("nobus")).c_str(), 1);
    const test::ConsoleRun unserved = AsNobody("check C");
    EXPECT_EQ(unserved.status, 2) << unserved.output;
    EXPECT_NE(unserved.output.find(std::string("cannot open: Permission denied; ") + kNoUdisksService), std::string::npos)
        << unserved.output;
}

}  // namespace
}  // namespace quillo
