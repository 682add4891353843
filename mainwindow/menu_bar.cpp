#include "mainwindow/menu_bar.h"

#include <QAction>
#include <QMenu>

#include "mainwindow/menu_table.h"

namespace quillo::gui {

namespace {

QString DriveItemName(int index) { return kDriveItemPrefix + QString::number(index); }

// Set on the drive item of a volume that is not supported: it stays greyed.
constexpr char kUnsupportedProperty[] = "unsupported";

}  // namespace

MainMenuBar::MainMenuBar(QWidget* parent) : QMenuBar(parent) {
    setObjectName("MainMenuBar");
    for (const MenuDefinition& menuData : MainMenus()) {
        QMenu* menu = addMenu(QString::fromUtf8(menuData.caption));
        menu->setObjectName(menuData.name);
        menu->setProperty(kHelpContextProperty, menuData.helpContext);
        menu->menuAction()->setProperty(kHelpContextProperty, menuData.helpContext);
        menus_.insert(menuData.name, menu);

        for (const MenuItemDefinition& itemData : menuData.items) {
            const QString name = QString::fromUtf8(itemData.name);
            QAction* action = itemData.separator ? menu->addSeparator()
                                                 : menu->addAction(QString::fromUtf8(itemData.caption));
            action->setObjectName(name);
            action->setProperty(kHelpContextProperty, itemData.helpContext);
            // Keep "About" and "Exit" where the table puts them on every platform.
            action->setMenuRole(QAction::NoRole);
            items_.insert(name, action);
            if (itemData.separator) continue;
            connect(action, &QAction::triggered, this, [this, name] { emit itemTriggered(name); });
        }
    }

    // The tip of a greyed drive item says why it is not supported.
    if (QMenu* disk = Menu("Disk_Menu")) disk->setToolTipsVisible(true);
    for (int index = 0; index < kDriveItemCount; ++index) {
        QAction* drive = DriveItem(index);
        connect(drive, &QAction::triggered, this, [this, index] { emit driveTriggered(index); });
        // Drive discovery shows the hard-disk letters that exist.
        if (index > 0) drive->setVisible(false);
    }
}

QAction* MainMenuBar::Item(const QString& name) const { return items_.value(name, nullptr); }

QAction* MainMenuBar::DriveItem(int index) const {
    if (index < 0 || index >= kDriveItemCount) return nullptr;
    return Item(DriveItemName(index));
}

void MainMenuBar::SetDriveItem(int index, const QString& caption, bool visible, const QString& unsupported) {
    QAction* item = DriveItem(index);
    if (item == nullptr) return;
    const bool refused = !unsupported.isEmpty();
    item->setText(refused ? caption + "  (not supported)" : caption);
    item->setVisible(visible || refused);
    item->setToolTip(refused ? unsupported : QString());
    item->setProperty(kUnsupportedProperty, refused);
    item->setEnabled(!refused);
}

QMenu* MainMenuBar::Menu(const QString& name) const { return menus_.value(name, nullptr); }

void MainMenuBar::SetCommandsEnabled(bool enabled, bool tempFolderKnown, bool isWin98) {
    for (QAction* action : std::as_const(items_)) {
        if (action->isSeparator()) continue;
        const QString name = action->objectName();
        bool on = enabled;
        if (name == "Exit_")
            on = true;  // Exit must still reach a running program to request its stop
        else if (enabled && name == "DeleteTemps_")
            on = tempFolderKnown;
        else if (enabled && name == "ASDagent_")
            on = isWin98;
        else if (enabled && action->property(kUnsupportedProperty).toBool())
            on = false;
        action->setEnabled(on);
    }
}

int MainMenuBar::HelpContext(const QObject* itemOrMenu) {
    return itemOrMenu ? itemOrMenu->property(kHelpContextProperty).toInt() : 0;
}

}  // namespace quillo::gui
