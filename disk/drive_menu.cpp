#include "disk/drive_menu.h"

#include <cctype>

#include "disk/drive_table.h"

namespace quillo {
namespace {

// Cut at the first zero character and trim blanks on the right.
std::string CutAndTrim(const std::string& text) {
    std::string s = text.substr(0, text.find('\0'));
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

// "MY DISK" is shown as "My disk".
std::string TitleCase(std::string label) {
    for (size_t i = 1; i < label.size(); ++i)
        label[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(label[i])));
    return label;
}

// Drive types as the platform numbers them.
constexpr int kDriveNoRootDir = 1;
constexpr int kDriveRemovable = 2;
constexpr int kDriveFixed = 3;

int DriveType(DeviceProvider& drives, char letter) {
    if (!drives.DeviceForDrive(letter)) return kDriveNoRootDir;
    return drives.IsRemovable(letter) ? kDriveRemovable : kDriveFixed;
}

char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }

}  // namespace

DriveMenu::DriveMenu() {
    for (int i = 0; i < kItemCount; ++i) {
        char letter = static_cast<char>(std::tolower(DriveLetterForMenuIndex(i)));
        items[i].caption = std::string("&") + letter + ":";
        items[i].visible = i == 0;
    }
}

char DriveLetterForMenuIndex(int menuIndex) {
    if (menuIndex == 0) return 'A';
    if (menuIndex >= 1 && menuIndex <= 24) return static_cast<char>('C' + menuIndex - 1);
    return 0;
}

int MenuIndexForDriveLetter(char letter) {
    letter = Upper(letter);
    if (letter == 'A') return 0;
    if (letter >= 'C' && letter <= 'Z') return letter - 'C' + 1;
    return -1;
}

std::string QueryDrive(DriveMenu& menu, int menuIndex, bool includeRemovable,
                       DeviceProvider& drives) {
    if (menuIndex < 0 || menuIndex >= DriveMenu::kItemCount) return "";
    DriveMenuItem& item = menu.items[menuIndex];
    // The root path is the two characters after the "&": the letter and the colon.
    if (item.caption.size() < 3 || item.caption[0] != '&') return "";
    const std::string root = item.caption.substr(1, 2);
    const char letter = Upper(root[0]);

    const int type = DriveType(drives, letter);
    item.unsupported = drives.UnsupportedReason(letter);
    if ((type != kDriveRemovable && type != kDriveFixed) || !item.unsupported.empty()) {
        if (!item.unsupported.empty()) item.caption = "&" + std::string(1, letter) + ":";
        item.visible = false;
        return "";
    }
    std::string label;
    std::string fileSystem;
    if (type == kDriveFixed || includeRemovable) {
        std::optional<VolumeInformation> info =
            ReadVolumeInformation(*drives.DeviceForDrive(letter));
        if (!info) return "";
        if (info->fileSystemName.rfind("FAT", 0) != 0) return "";
        label = TitleCase(CutAndTrim(info->label));
        fileSystem = CutAndTrim(info->fileSystemName);
    }
    item.caption = "&" + std::string(1, letter) + std::string(1, Upper(root[1])) + "  " + label;
    item.visible = true;
    return fileSystem;
}

void FillDriveMenu(DriveMenu& menu, DeviceProvider& drives) {
    for (int i = 1; i < DriveMenu::kItemCount; ++i) QueryDrive(menu, i, false, drives);
    QueryDrive(menu, 0, false, drives);
}

}  // namespace quillo
