#include "mainwindow/menu_table.h"

#include <array>
#include <string>

namespace quillo::gui {

namespace {

// Names and captions of the drive items, kept alive for the table's pointers.
struct DriveItemTexts {
    std::array<std::string, kDriveItemCount> names;
    std::array<std::string, kDriveItemCount> captions;

    DriveItemTexts() {
        for (int index = 0; index < kDriveItemCount; ++index) {
            // Item 0 is the floppy a:; there is no item for b:, so 1 is c:.
            const char letter = index == 0 ? 'a' : static_cast<char>('b' + index);
            names[index] = kDriveItemPrefix + std::to_string(index);
            captions[index] = std::string("&") + letter + ":";
        }
    }
};

MenuItemDefinition Item(const char* name, const char* caption, int helpContext = 0) {
    return {name, caption, helpContext, false};
}

MenuItemDefinition Separator(const char* name) { return {name, "", 0, true}; }

std::vector<MenuItemDefinition> DiskMenuItems() {
    static const DriveItemTexts drives;
    std::vector<MenuItemDefinition> items;
    for (int index = 0; index < kDriveItemCount; ++index)
        items.push_back(Item(drives.names[index].c_str(), drives.captions[index].c_str()));
    // Attaching an image or device is how drives come to exist on this platform.
    items.push_back(Separator("Dummy9"));
    items.push_back(Item("OpenImage_", "&Open disk image..."));
    return items;
}

std::vector<MenuDefinition> BuildMainMenus() {
    return {
        {"Defrag_Menu", "&Defrag", 560,
         {
             Item("Defrag_", "&Defragment disk", 120),
             Item("DefragAll_", "Defrag &All disks"),
             Separator("Dummy1"),
             Item("Exit_", "E&xit", 10),
         }},
        {"Disk_Menu", "D&isk", 520, DiskMenuItems()},
        {"Settings_Menu", "&Preferences", 570,
         {
             Item("DisplaySettings_", "D&isplay..."),
             Separator("Dummy2"),
             Item("DefragSettings_", "&Defrag...", 490),
             Item("AutoSettings_", "&AutoDefrag...", 450),
             Item("SchedSettings", "&Schedule...", 570),
         }},
        {"Tools_Menu", "&Tools", 530,
         {
             Item("CheckDisk_", "&Check disk", 280),
             Item("CheckAll_", "Check &All disks", 910),
             Item("ScanDisk_", "&ScanDisk...", 930),
             Separator("Dummy5"),
             Item("Duplicate_", "Duplicate file &names...", 990),
             Item("DeleteTemps_", "Temporary &files...", 760),
             Separator("Dummy6"),
             Item("Downloads_", "Downloaded &program files...", 770),
             Item("TempInternet_", "Internet &temporary files...", 1020),
             Item("DeleteCookies_", "Internet coo&kies...", 740),
             Item("History_", "Internet &history...", 880),
             Item("URLcache_", "&URL cache...", 860),
             Separator("Ork_"),
             Item("ASDagent_", "ASD A&gent...", 1030),
             Item("regcheck_", "&Registry checker...", 920),
             Item("msconfig_", "System configuration &utility...", 940),
             Item("sysfile_", "System &file checker...", 950),
             Item("sysinfo_", "System &information...", 960),
             Item("TaskList_", "Task &list...", 970),
             Separator("Dummy8"),
             Item("Hex_", "&HexExplorer", 150),
         }},
        {"Help_Menu", "&Help", 10,
         {
             Item("Topics_", "&Topics"),
             Item("About_", "&About Quillo", 10),
         }},
    };
}

}  // namespace

const std::vector<MenuDefinition>& MainMenus() {
    static const std::vector<MenuDefinition> menus = BuildMainMenus();
    return menus;
}

}  // namespace quillo::gui
