// Renders the cleaner window on one of its lists to a PNG, opened from the
// main window's Tools menu as a user opens it:
//   quillo-cleaner-shot IMAGE OUT.png KEYWORD [WIDTHxHEIGHT]
// ("Frags" checks the drive first). Run it with XDG_CONFIG_HOME pointing at
// a scratch folder: the window remembers disks.
#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <string>

#include "cleaner/cleaner_list.h"
#include "cleaner/xclean.h"
#include "mainwindow/main_window.h"

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: quillo-cleaner-shot IMAGE OUT.png KEYWORD [WxH]\n");
        return 2;
    }
    QApplication app(argc, argv);
    quillo::gui::NTQuilF window(quillo::gui::ScriptedRunHooks());
    window.FormLoad({{argv[1], false}}, "");
    const std::string keyword = argv[3];
    if (keyword == "Frags") window.CheckDiskCommand();
    int width = 0, height = 0;
    if (argc > 4) std::sscanf(argv[4], "%dx%d", &width, &height);
    bool saved = false;
    QTimer grabber;
    grabber.setInterval(50);
    QObject::connect(&grabber, &QTimer::timeout, [&] {
        auto* cleaner = qobject_cast<quillo::gui::Xclean*>(QApplication::activeModalWidget());
        if (cleaner == nullptr || !cleaner->Filled()) return;
        grabber.stop();
        if (width > 0) cleaner->resize(width, height);
        if (cleaner->List(0).count() > 0) cleaner->List(0).item(1 % cleaner->List(0).count())->setSelected(true);
        for (int i = 0; i < 10; ++i) QApplication::processEvents();
        saved = cleaner->grab().save(argv[2]);
        cleaner->ExitCommand();
    });
    grabber.start();
    window.OpenCleanerList(keyword);
    if (!saved) std::fprintf(stderr, "cannot write %s\n", argv[2]);
    return saved ? 0 : 1;
}
