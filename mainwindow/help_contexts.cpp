#include "mainwindow/help_contexts.h"

#include <utility>

#include "mainwindow/menu_table.h"

namespace quillo::gui {
namespace {

using KeywordContext = std::pair<const char*, int>;

// Pages with a menu item of their own share its number; the Display page,
// whose item has none, has its own; the About page shares the program's.
constexpr KeywordContext kPreferencesPages[] = {
    {"Defrag", 490}, {"Auto", 450}, {"Schedule", 570}, {"Display", 480}, {"About", 10},
};

constexpr KeywordContext kCleanerLists[] = {
    {"Cookies", 500},      {"Duplicates", 990}, {"Frags", 670}, {"TaskList", 970},
    {"TempInternet", 1020}, {"Temps", 550},     {"URLcache", 860},
};

template <size_t N>
int Lookup(const KeywordContext (&table)[N], const std::string& keyword) {
    for (const auto& [name, context] : table)
        if (keyword == name) return context;
    return 0;
}

}  // namespace

int PreferencesPageHelpContext(const std::string& keyword) { return Lookup(kPreferencesPages, keyword); }

int CleanerListHelpContext(const std::string& keyword) { return Lookup(kCleanerLists, keyword); }

std::vector<DeclaredHelpContext> DeclaredHelpContexts() {
    std::vector<DeclaredHelpContext> declared;
    for (const MenuDefinition& menu : MainMenus()) {
        declared.push_back({menu.helpContext, menu.name});
        for (const MenuItemDefinition& item : menu.items)
            if (item.helpContext != 0) declared.push_back({item.helpContext, item.name});
    }
    for (const auto& [keyword, context] : kPreferencesPages)
        declared.push_back({context, std::string("preferences page ") + keyword});
    for (const auto& [keyword, context] : kCleanerLists)
        declared.push_back({context, std::string("cleaner list ") + keyword});
    declared.push_back({kMainWindowHelpContext, "main window"});
    declared.push_back({kHexExplorerHelpContext, "HexExplorer"});
    declared.push_back({kScanDiskHelpContext, "ScanDisk view"});
    declared.push_back({kSystemFileCheckerHelpContext, "system file checker view"});
    return declared;
}

}  // namespace quillo::gui
