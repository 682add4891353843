#include "mainwindow/menu_bar.h"

#include <QAction>
#include <QMenu>

#include "mainwindow/menu_table.h"

namespace quillo::gui {

namespace {

QString DriveItemName(int index) { return kDriveItemPrefix + QString::number(index); }

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
        action->setEnabled(on);
    }
}

int MainMenuBar::HelpContext(const QObject* itemOrMenu) {
    return itemOrMenu ? itemOrMenu->property(kHelpContextProperty).toInt() : 0;
}

}  // namespace quillo::gui
