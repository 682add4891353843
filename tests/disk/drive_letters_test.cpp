#include "disk/drive_letters.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "disk/drive_table.h"
#include "disk/image_device.h"
#include "tests/support/test_images.h"

namespace quillo {
namespace {

constexpr uint32_t kMiB = 2048;  // sectors

test::PartitionSpec Fat12(uint32_t start, const std::string& label, uint32_t ebr = 0) {
    return {0x01, start, kMiB, 12, "-n " + label, ebr};
}

// Disk 1: FAT primaries in slots 1 and 2, two logicals.
// Disk 2: a Linux partition in slot 1, FAT primaries in slots 2 and 3, two logicals.
test::DiskSpec FirstDisk() {
    test::DiskSpec d;
    d.totalSectors = 10400;
    d.primaries = {Fat12(2048, "D1P1"), Fat12(4096, "D1P2")};
    d.logicals = {Fat12(6176, "D1L5", 6144), Fat12(8256, "D1L6", 8224)};
    return d;
}

test::DiskSpec SecondDisk() {
    test::DiskSpec d;
    d.totalSectors = 12400;
    d.primaries = {{0x83, 2048, kMiB, 0, "", 0}, Fat12(4096, "D2P2"), Fat12(6144, "D2P3")};
    d.logicals = {Fat12(8224, "D2L5", 8192), Fat12(10304, "D2L6", 10272)};
    return d;
}

TEST(DriveLetters, FollowThePlatformOrderAndReportBadAttachments) {
    if (!test::HaveFatTools()) GTEST_SKIP() << "mkfs.fat or mtools missing";
    test::TempDir dir;
    std::string error;
    const std::string floppy = dir.File("floppy.img"), floppy2 = dir.File("floppy2.img");
    const std::string disk1 = dir.File("disk1.img"), disk2 = dir.File("disk2.img");
    const std::string big = dir.File("big.img"), text = dir.File("notes.txt");
    ASSERT_TRUE(test::MakeFatImage(floppy, 1440, "-F 12 -f 2 -n FLOPPY", &error)) << error;
    ASSERT_TRUE(test::MakeFatImage(floppy2, 1440, "-F 12 -f 2", &error)) << error;
    ASSERT_TRUE(test::MakeFatImage(big, 16384, "-F 16", &error)) << error;
    ASSERT_TRUE(test::BuildPartitionedDisk(disk1, FirstDisk(), &error)) << error;
    ASSERT_TRUE(test::BuildPartitionedDisk(disk2, SecondDisk(), &error)) << error;
    ASSERT_TRUE(test::WriteFileBytes(text, 0, std::vector<uint8_t>(4096, 'x')));

    DriveLetterResult r = AssignDriveLetters({{floppy, true},
                                              {disk1, false},
                                              {dir.File("missing.img"), false},
                                              {floppy2, true},  // second floppy
                                              {disk2, false},
                                              {big, true},      // not floppy-like
                                              {disk1, false},   // again
                                              {text, false}});
    std::map<std::string, std::string> errors;
    for (const DiskProblem& p : r.errors) errors[p.path] = p.message;
    EXPECT_EQ(errors.size(), 5u);
    EXPECT_NE(errors[dir.File("missing.img")].find("cannot open"), std::string::npos);
    EXPECT_NE(errors[floppy2].find("only one floppy"), std::string::npos);
    EXPECT_NE(errors[big].find("not a floppy"), std::string::npos);
    EXPECT_NE(errors[disk1].find("already attached"), std::string::npos);
    EXPECT_NE(errors[text].find("no FAT boot sector"), std::string::npos);
    EXPECT_TRUE(r.warnings.empty());

    // Which volume each letter reaches is read back from the disks themselves.
    DriveTable table(r.drives);
    std::string order;
    for (char letter : table.Letters()) {
        std::optional<VolumeInformation> info = table.QueryVolumeInformation(letter);
        ASSERT_TRUE(info) << letter;
        order += std::string(1, letter) + "=" + info->label + " ";
    }
    EXPECT_EQ(order, "A=FLOPPY C=D1P1 D=D2P2 E=D1L5 F=D1L6 G=D2L5 H=D2L6 I=D1P2 J=D2P3 ");

    EXPECT_TRUE(table.IsRemovable('A'));
    EXPECT_FALSE(table.IsRemovable('C'));
    EXPECT_FALSE(table.IsRemovable('K'));
    EXPECT_EQ(table.DeviceForDrive('B'), nullptr);
    EXPECT_EQ(table.DeviceForDrive('K'), nullptr);
    VolumeDevice* g = table.DeviceForDrive('G');
    ASSERT_NE(g, nullptr);
    EXPECT_EQ(table.DeviceForDrive('G'), g);
    EXPECT_EQ(table.DeviceForDrive('g'), g);
    auto* image = dynamic_cast<ImageDevice*>(g);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->path(), disk2);
    EXPECT_EQ(image->byteOffset(), 8224u * 512);
    EXPECT_EQ(image->VolumeSectorCount(), kMiB);
    EXPECT_EQ(table.Find('G')->volume.partitionNumber, 5);
}

TEST(DriveLetters, StopAtZ) {
    // One primary and 30 logical FAT12 volumes (boot sectors only) on one disk.
    test::TempDir dir;
    const std::string disk = dir.File("many.img");
    test::DiskSpec spec;
    spec.primaries = {{0x01, 64, 1984, 0, "", 0}};
    for (uint32_t i = 0; i < 30; ++i) {
        const uint32_t ebr = 2048 + i * (kMiB + 16);
        spec.logicals.push_back({0x01, ebr + 16, kMiB, 0, "", ebr});
    }
    spec.totalSectors = 2048 + 30 * (kMiB + 16);
    std::string error;
    ASSERT_TRUE(test::BuildPartitionedDisk(disk, spec, &error)) << error;
    ASSERT_TRUE(test::WriteFileBytes(disk, 64 * 512, test::MakeBootSector({12, 1984, 4, 1, 2, 512})));
    for (const test::PartitionSpec& l : spec.logicals) {
        ASSERT_TRUE(test::WriteFileBytes(disk, uint64_t{l.startLba} * 512,
                                         test::MakeBootSector({12, kMiB, 4, 1, 2, 512})));
    }

    DriveLetterResult r = AssignDriveLetters({{disk, false}});
    EXPECT_TRUE(r.errors.empty());
    ASSERT_EQ(r.drives.size(), 24u);
    EXPECT_EQ(r.drives.front().letter, 'C');
    EXPECT_EQ(r.drives.front().volume.partitionNumber, 1);
    EXPECT_EQ(r.drives.back().letter, 'Z');
    EXPECT_EQ(r.drives.back().volume.partitionNumber, 5 + 22);
    ASSERT_EQ(r.warnings.size(), 7u);
    EXPECT_NE(r.warnings.back().message.find("no drive letter left for partition 34"),
              std::string::npos)
        << r.warnings.back().message;
}

}  // namespace
}  // namespace quillo
