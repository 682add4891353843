#include "mainwindow/menu_help.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>

#include "mainwindow/help_contexts.h"
#include "mainwindow/help_system.h"
#include "mainwindow/menu_bar.h"

namespace quillo::gui {
namespace {

class MenuHelpFilter final : public QObject {
public:
    explicit MenuHelpFilter(MainMenuBar& menus) : QObject(&menus), menus_(menus) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress || static_cast<QKeyEvent*>(event)->key() != Qt::Key_F1)
            return false;
        int context = 0;
        if (auto* menu = qobject_cast<QMenu*>(watched)) {
            context = MenuHelpContext(*menu, menu->activeAction());
        } else if (const QAction* title = menus_.activeAction()) {
            context = MainMenuBar::HelpContext(title);
        }
        if (context == 0) context = kMainWindowHelpContext;
        CloseMenus();
        ShowHelpPopup(menus_.window(), context);
        return true;
    }

private:
    void CloseMenus() {
        for (QAction* title : menus_.actions())
            if (QMenu* menu = title->menu(); menu != nullptr && menu->isVisible()) menu->hide();
        menus_.setActiveAction(nullptr);
    }

    MainMenuBar& menus_;
};

}  // namespace

int MenuHelpContext(const QMenu& menu, const QAction* highlighted) {
    const int own = MainMenuBar::HelpContext(highlighted);
    return own != 0 ? own : MainMenuBar::HelpContext(&menu);
}

void InstallMenuHelp(MainMenuBar& menus) {
    auto* filter = new MenuHelpFilter(menus);
    menus.installEventFilter(filter);
    for (QAction* title : menus.actions())
        if (QMenu* menu = title->menu()) menu->installEventFilter(filter);
}

}  // namespace quillo::gui
