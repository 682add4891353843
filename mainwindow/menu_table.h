#pragma once
// The main window's menu tree as plain data: names, captions with their "&"
// mnemonic, help context numbers and separators, in the order they appear.
#include <vector>

namespace quillo::gui {

struct MenuItemDefinition {
    const char* name;     // control name, e.g. "Defrag_", "Drv_3", "Dummy1"
    const char* caption;  // empty for a separator
    int helpContext;      // 0 = none
    bool separator;
};

struct MenuDefinition {
    const char* name;  // e.g. "Defrag_Menu"
    const char* caption;
    int helpContext;
    std::vector<MenuItemDefinition> items;
};

// Every menu of the menu bar, left to right, with its items top to bottom.
const std::vector<MenuDefinition>& MainMenus();

// The drive items `Drv_`(0..24): 0 is "&a:", 1..24 are "&c:".."&z:".
inline constexpr int kDriveItemCount = 25;
inline constexpr char kDriveItemPrefix[] = "Drv_";

}  // namespace quillo::gui
