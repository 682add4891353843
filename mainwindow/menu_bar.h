#pragma once
// The main window's menu bar, built from the menu table: one QAction per item
// (objectName = the item's name, property "helpContext" = its help context),
// no shortcut keys, drive items 1..24 hidden until drive discovery shows them.
#include <QHash>
#include <QMenuBar>
#include <QString>

class QAction;
class QMenu;

namespace quillo::gui {

// Property holding the help context number (0 = none) on every item action,
// every menu and every menu's title action.
inline constexpr char kHelpContextProperty[] = "helpContext";

class MainMenuBar : public QMenuBar {
    Q_OBJECT
public:
    explicit MainMenuBar(QWidget* parent = nullptr);

    // The item (or separator) of that name, e.g. "Defrag_", "Drv_3", "Dummy1";
    // null when there is none.
    QAction* Item(const QString& name) const;
    // `Drv_`(index), index 0..24; null outside that range.
    QAction* DriveItem(int index) const;
    // The menu of that name, e.g. "Tools_Menu"; null when there is none.
    QMenu* Menu(const QString& name) const;

    // Lock (enabled = false): every item except `Exit_` disabled; the menu
    // titles stay enabled. Unlock: every item enabled, except `DeleteTemps_`
    // only when the temporary folder is known, `ASDagent_` only on Win98, and
    // drive items of volumes that are not supported never.
    void SetCommandsEnabled(bool enabled, bool tempFolderKnown, bool isWin98);
    // Shows drive item `index` as discovery left it. A volume that is not
    // supported is listed greyed, with `unsupported` (the reason) as its tip.
    void SetDriveItem(int index, const QString& caption, bool visible, const QString& unsupported);

    // Help context number stored on an item or menu; 0 when none.
    static int HelpContext(const QObject* itemOrMenu);

signals:
    // Emitted for every item chosen, with the item's name ("Drv_3" for a drive).
    void itemTriggered(const QString& name);
    // Emitted as well when a drive item is chosen, with its index 0..24.
    void driveTriggered(int index);

private:
    QHash<QString, QAction*> items_;
    QHash<QString, QMenu*> menus_;
};

}  // namespace quillo::gui
