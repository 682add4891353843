// Renders the main window after a run on a disk image to a PNG:
//   quillo-window-shot IMAGE OUT.png [check|defrag|during|map] [WIDTHxHEIGHT]
// ("during" grabs the window in the middle of a Defrag, after 50 moves).
// Messages that would open a box are printed instead. Run it with
// XDG_CONFIG_HOME pointing at a scratch folder: the window remembers disks.
#include <QApplication>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

#include "mainwindow/main_window.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: quillo-window-shot IMAGE OUT.png [check|defrag|during|map] [WxH]\n");
        return 2;
    }
    QApplication app(argc, argv);
    quillo::gui::NTQuilF window(quillo::gui::ScriptedRunHooks());
    window.FormLoad({{argv[1], false}}, "");
    if (argc > 4) {
        int width = 0, height = 0;
        if (std::sscanf(argv[4], "%dx%d", &width, &height) == 2) window.resize(width, height);
        QApplication::processEvents();
    }
    const std::string mode = argc > 3 ? argv[3] : "defrag";
    bool grabbed = false;
    if (mode == "during") {
        auto* probe = new QTimer(&window);
        probe->setInterval(0);
        QObject::connect(probe, &QTimer::timeout, [&] {
            if (grabbed || !window.RunInProgress || window.ctx().defrag.MovedCount < 50) return;
            grabbed = window.grab().save(argv[2]);
            probe->stop();
        });
        probe->start();
        window.DefragCommand();
        return grabbed ? 0 : 1;
    }
    if (mode == "defrag") window.DefragCommand();
    else if (mode == "check") window.CheckDiskCommand();
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
    if (!window.grab().save(argv[2])) {
        std::fprintf(stderr, "cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
