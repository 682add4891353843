#include "disk/drive_letters.h"

#include <gtest/gtest.h>

#include <map>

#include "disk/drive_table.h"
#include "disk/image_device.h"
#include "tests/support/test_images.h"

namespace quillo {
namespace {

constexpr uint32_t kVolume = 64;  // sectors of each hand-made FAT12 volume

// A disk image whose volumes hold only their boot sectors: the primaries by
// slot from sector 64 (an empty label makes a Linux partition), then the
// logicals chained in one extended partition, each behind its own record.
// Returns the first sector of each partition, primaries first.
std::vector<uint32_t> MakeDisk(const std::string& path, const std::vector<std::string>& primaries,
                               const std::vector<std::string>& logicals) {
    std::vector<uint32_t> starts;
    std::vector<uint8_t> mbr(512, 0);
    uint32_t lba = 64;
    auto volume = [&](uint8_t* entry, int slot, uint32_t relativeTo, const std::string& label) {
        test::PutPartitionEntry(entry, slot, label.empty() ? 0x83 : 0x01, lba - relativeTo, kVolume);
        // 64 sectors, 1 reserved, two 1-sector tables, 16 root entries: 60 clusters.
        if (!label.empty())
            test::WriteFileBytes(path, uint64_t{lba} * 512, test::MakeBootSector({12, kVolume, 1, 1, 1, 16, label}));
        starts.push_back(lba);
        lba += kVolume;
    };
    for (size_t i = 0; i < primaries.size(); ++i) volume(mbr.data(), static_cast<int>(i), 0, primaries[i]);
    const uint32_t ext = lba;
    const uint32_t step = kVolume + 1;  // a record, then its volume
    test::PutPartitionEntry(mbr.data(), static_cast<int>(primaries.size()), 0x0F, ext, logicals.size() * step);
    for (size_t i = 0; i < logicals.size(); ++i) {
        std::vector<uint8_t> ebr(512, 0);
        const uint32_t record = lba++;
        volume(ebr.data(), 0, record, logicals[i]);
        if (i + 1 < logicals.size()) test::PutPartitionEntry(ebr.data(), 1, 0x05, lba - ext, step);
        test::PutSignature(ebr.data());
        test::WriteFileBytes(path, uint64_t{record} * 512, ebr);
    }
    test::PutSignature(mbr.data());
    test::WriteFileBytes(path, 0, mbr);
    test::SetFileSize(path, uint64_t{lba} * 512);
    return starts;
}

TEST(DriveLetters, FollowThePlatformOrderAndReportBadAttachments) {
    test::TempDir dir;
    const std::string floppy = dir.File("floppy.img"), floppy2 = dir.File("floppy2.img");
    const std::string disk1 = dir.File("disk1.img"), disk2 = dir.File("disk2.img");
    const std::string big = dir.File("big.img"), text = dir.File("notes.txt");
    ASSERT_TRUE(test::MakeBootImage(floppy, {12, 2880, 1, 1, 9, 224, "FLOPPY"}));
    ASSERT_TRUE(test::MakeBootImage(floppy2, {12, 2880, 1, 1, 9, 224}));
    ASSERT_TRUE(test::MakeBootImage(big, {}));  // FAT16
    MakeDisk(disk1, {"D1P1", "D1P2"}, {"D1L5", "D1L6"});
    const uint32_t d2l5 = MakeDisk(disk2, {"", "D2P2", "D2P3"}, {"D2L5", "D2L6"})[3];
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
    EXPECT_EQ(table.DeviceForDrive('g'), g);
    auto* image = dynamic_cast<ImageDevice*>(g);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->path(), disk2);
    EXPECT_EQ(image->byteOffset(), uint64_t{d2l5} * 512);
    EXPECT_EQ(image->VolumeSectorCount(), kVolume);
    EXPECT_EQ(table.Find('G')->volume.partitionNumber, 5);
}

TEST(DriveLetters, StopAtZ) {
    test::TempDir dir;
    const std::string disk = dir.File("many.img");
    MakeDisk(disk, {"P"}, std::vector<std::string>(30, "L"));
    DriveLetterResult r = AssignDriveLetters({{disk, false}});
    EXPECT_TRUE(r.errors.empty());
    ASSERT_EQ(r.drives.size(), 24u);
    EXPECT_EQ(r.drives.front().letter, 'C');
    EXPECT_EQ(r.drives.front().volume.partitionNumber, 1);
    EXPECT_EQ(r.drives.back().letter, 'Z');
    EXPECT_EQ(r.drives.back().volume.partitionNumber, 5 + 22);
    ASSERT_EQ(r.warnings.size(), 7u);
    EXPECT_NE(r.warnings.back().message.find("no drive letter left for partition 34"), std::string::npos)
        << r.warnings.back().message;
}

}  // namespace
}  // namespace quillo
