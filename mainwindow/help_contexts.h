#pragma once
// The help context numbers the program's windows declare, in one place:
// every one of them has a topic (mainwindow/help/<number>.html).
#include <string>
#include <vector>

namespace quillo::gui {

// F1 in the main window with no menu open: the topic of the program itself.
inline constexpr int kMainWindowHelpContext = 10;
inline constexpr int kHexExplorerHelpContext = 150;
inline constexpr int kScanDiskHelpContext = 930;
inline constexpr int kSystemFileCheckerHelpContext = 950;

// The help context of a cleaner list by its keyword ("Cookies",
// "Duplicates", "Frags", "TaskList", "TempInternet", "Temps", "URLcache");
// 0 for any other keyword.
int CleanerListHelpContext(const std::string& keyword);

struct DeclaredHelpContext {
    int context;
    std::string owner;  // e.g. "Tools_Menu", "ScanDisk_", "preferences page Defrag"
};

// Every declaration: the menus and items of the menu bar, the preferences
// pages (preferences/settings_pages.h), the cleaner lists, HexExplorer, the checker windows and the main
// window itself. A number may appear more than once.
std::vector<DeclaredHelpContext> DeclaredHelpContexts();

}  // namespace quillo::gui
