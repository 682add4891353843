#include "disk/drive_menu.h"

#include <gtest/gtest.h>

#include "disk/drive_letters.h"
#include "disk/drive_table.h"
#include "tests/support/test_images.h"

namespace quillo {
namespace {

// Bare volumes with hand-made boot sectors, enough for discovery.
std::string MakeVolume(const test::TempDir& dir, const std::string& name, const test::BootSectorSpec& spec) {
    EXPECT_TRUE(test::MakeBootImage(dir.File(name), spec));
    return dir.File(name);
}

test::BootSectorSpec Floppy(const std::string& label) { return {12, 2880, 1, 1, 9, 224, label}; }
test::BootSectorSpec Fat16(const std::string& label) { return {16, 32768, 4, 4, 32, 512, label}; }

std::vector<std::string> Captions(const DriveMenu& menu, bool visible) {
    std::vector<std::string> out;
    for (const DriveMenuItem& item : menu.items)
        if (item.visible == visible) out.push_back(item.caption);
    return out;
}

TEST(DriveMenu, DiscoveryCaptionsAttachedDrivesWithTheirLabels) {
    test::TempDir dir;
    const std::string floppy = MakeVolume(dir, "a.img", Floppy("BOOT DISK"));
    const std::string c = MakeVolume(dir, "c.img", Fat16("MY DISK"));
    const std::string d = MakeVolume(dir, "d.img", Fat16("X"));
    const std::string e = MakeVolume(dir, "e.img", Fat16("NO NAME"));
    const std::string f = MakeVolume(dir, "f.img", Fat16("aBC dEF"));
    // Start-up must not read the floppy: spoil it so a read would show.
    ASSERT_TRUE(test::WriteFileBytes(floppy, 0, std::vector<uint8_t>(512, 0)));

    DriveLetterResult r =
        AssignDriveLetters({{c, false}, {d, false}, {e, false}, {f, false}});
    ASSERT_TRUE(r.errors.empty());
    // The floppy cannot be attached while spoiled; attach it by hand.
    FatVolumeLocation floppyVolume;
    floppyVolume.sectorCount = 2880;
    r.drives.push_back({'A', floppy, true, floppyVolume});
    DriveTable table(r.drives);

    DriveMenu menu;
    FillDriveMenu(menu, table);
    EXPECT_EQ(Captions(menu, true),
              (std::vector<std::string>{"&A:  ", "&C:  My disk", "&D:  X", "&E:  ",
                                        "&F:  abc def"}));
    EXPECT_EQ(Captions(menu, false).size(), 20u);
    EXPECT_EQ(menu.items[5].caption, "&g:");  // untouched: no drive G:
    EXPECT_EQ(MenuIndexForDriveLetter('g'), 5);

    // Opening a drive reads it now: the floppy's media and a reformatted C:.
    ASSERT_TRUE(test::WriteFileBytes(floppy, 0, test::MakeBootSector(Floppy("BOOT DISK"))));
    EXPECT_EQ(QueryDrive(menu, 0, true, table), "FAT12");
    EXPECT_EQ(menu.items[0].caption, "&A:  Boot disk");
    EXPECT_EQ(QueryDrive(menu, 1, true, table), "FAT16");
    ASSERT_TRUE(test::WriteFileBytes(c, 0, test::MakeBootSector({12, 2880, 1, 1, 9, 224, "NEW"})));
    EXPECT_EQ(QueryDrive(menu, 1, true, table), "FAT12");
    EXPECT_EQ(menu.items[1].caption, "&C:  New");

    // A volume that became unreadable gives no name and keeps its item as it was.
    ASSERT_TRUE(test::WriteFileBytes(c, 0, std::vector<uint8_t>(512, 0)));
    EXPECT_EQ(QueryDrive(menu, 1, true, table), "");
    EXPECT_EQ(menu.items[1].caption, "&C:  New");
    EXPECT_TRUE(menu.items[1].visible);
}

TEST(DriveMenu, WithoutAFloppyTheAItemIsHidden) {
    test::TempDir dir;
    const std::string c = MakeVolume(dir, "c.img", Fat16("DATA"));
    DriveTable table(AssignDriveLetters({{c, false}}).drives);
    DriveMenu menu;
    FillDriveMenu(menu, table);
    EXPECT_EQ(Captions(menu, true), std::vector<std::string>{"&C:  Data"});
    EXPECT_EQ(QueryDrive(menu, 0, true, table), "");
    EXPECT_FALSE(menu.items[0].visible);
}

}  // namespace
}  // namespace quillo
