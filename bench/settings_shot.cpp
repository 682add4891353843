// Renders a page of the preferences dialog over the main window to a PNG:
//   quillo-settings-shot IMAGE OUT.png [PAGE-ITEM]
// PAGE-ITEM is a Preferences or Help item ("DefragSettings_" by default).
// The page is opened through the menu item, as a user opens it, and the
// screen is grabbed while it shows: run it under an X server (xvfb-run), with
// XDG_CONFIG_HOME pointing at a scratch folder.
#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>

#include "mainwindow/main_window.h"
#include "mainwindow/menu_bar.h"
#include "preferences/settings.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: quillo-settings-shot IMAGE OUT.png [PAGE-ITEM]\n");
        return 2;
    }
    QApplication app(argc, argv);
    quillo::gui::NTQuilF window(quillo::gui::ScriptedRunHooks());
    window.FormLoad({{argv[1], false}}, "");
    window.setGeometry(40, 40, 760, 480);
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
    bool saved = false;
    auto* grab = new QTimer(&window);
    grab->setInterval(300);
    QObject::connect(grab, &QTimer::timeout, [&] {
        auto* dialog = qobject_cast<quillo::gui::Settings*>(QApplication::activeModalWidget());
        if (dialog == nullptr) return;
        grab->stop();
        const QRect area = window.frameGeometry().united(dialog->frameGeometry()).adjusted(-8, -8, 8, 8);
        saved = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height())
                    .save(argv[2]);
        dialog->reject();
    });
    grab->start();
    QAction* item = window.menus().Item(argc > 3 ? argv[3] : "DefragSettings_");
    if (item == nullptr) {
        std::fprintf(stderr, "no such menu item\n");
        return 2;
    }
    item->trigger();
    if (!saved) std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return saved ? 0 : 1;
}
