#pragma once
// F1 on the main window's menus: while a menu is open, the topic of its
// highlighted item, or the menu's own when the item has no help context (or
// nothing is highlighted); on the menu bar, the highlighted menu's topic.
// The open menus close and the topic pops up over the main window.
class QAction;
class QMenu;

namespace quillo::gui {

class MainMenuBar;

// The help context F1 shows for `menu` with `highlighted` (may be null).
int MenuHelpContext(const QMenu& menu, const QAction* highlighted);

// Watches the menu bar and every menu of it for F1.
void InstallMenuHelp(MainMenuBar& menus);

}  // namespace quillo::gui
