#include "mainwindow/help_contexts.h"

#include <utility>

#include "mainwindow/menu_table.h"
#include "preferences/settings_pages.h"

namespace quillo::gui {
namespace {

constexpr std::pair<const char*, int> kCleanerLists[] = {
    {"Cookies", 500},      {"Duplicates", 990}, {"Frags", 670}, {"TaskList", 970},
    {"TempInternet", 1020}, {"Temps", 550},     {"URLcache", 860},
};

}  // namespace

int CleanerListHelpContext(const std::string& keyword) {
    for (const auto& [name, context] : kCleanerLists)
        if (keyword == name) return context;
    return 0;
}

std::vector<DeclaredHelpContext> DeclaredHelpContexts() {
    std::vector<DeclaredHelpContext> declared;
    for (const MenuDefinition& menu : MainMenus()) {
        declared.push_back({menu.helpContext, menu.name});
        for (const MenuItemDefinition& item : menu.items)
            if (item.helpContext != 0) declared.push_back({item.helpContext, item.name});
    }
    for (const SettingsPage& page : kSettingsPages)
        declared.push_back({page.helpContext, std::string("preferences page ") + page.keyword});
    for (const auto& [keyword, context] : kCleanerLists)
        declared.push_back({context, std::string("cleaner list ") + keyword});
    declared.push_back({kMainWindowHelpContext, "main window"});
    declared.push_back({kHexExplorerHelpContext, "HexExplorer"});
    declared.push_back({kScanDiskHelpContext, "ScanDisk view"});
    declared.push_back({kSystemFileCheckerHelpContext, "system file checker view"});
    return declared;
}

}  // namespace quillo::gui
