#pragma once
// The Disk menu's drive items (`Drv_`) as a model the window mirrors, and drive
// discovery (`QueryDrive`) that fills them.
#include <array>
#include <string>

namespace quillo {

class DeviceProvider;

struct DriveMenuItem {
    std::string caption;
    bool visible = false;
    // Why the drive's volume cannot be worked on: such an item stays hidden
    // from runs, and the window shows it greyed with this reason.
    std::string unsupported;
};

// `Drv_`(0) is A:, `Drv_`(1) .. `Drv_`(24) are C: .. Z:; there is no B: item.
struct DriveMenu {
    static constexpr int kItemCount = 25;
    DriveMenu();  // "&a:" shown; "&c:" .. "&z:" hidden until discovery shows them
    std::array<DriveMenuItem, kItemCount> items;
};

// Looks up the drive named by item `menuIndex`'s caption and, for a FAT drive,
// sets the caption to "&X:  Label" and shows the item. Drive type: removable
// for an attached floppy, fixed for any other attached drive; a letter with no
// device is hidden. A volume that is not supported stays hidden with its
// caption "&X:" and the reason in `unsupported`. Returns the file-system name;
// empty when the drive is not offered, or is removable and includeRemovable is
// false (its media is then not read).
std::string QueryDrive(DriveMenu& menu, int menuIndex, bool includeRemovable,
                       DeviceProvider& drives);

// Start-up discovery: items 1 to 24, then item 0, without reading removable media.
void FillDriveMenu(DriveMenu& menu, DeviceProvider& drives);

// 'A' for 0, 'C'..'Z' for 1..24; 0 for any other index.
char DriveLetterForMenuIndex(int menuIndex);
// Inverse of the above (either case); -1 for B and anything that is no drive.
int MenuIndexForDriveLetter(char letter);

}  // namespace quillo
