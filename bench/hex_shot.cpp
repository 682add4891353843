// Renders HexExplorer on a folder of a disk image to a PNG:
//   quillo-hex-shot IMAGE OUT.png SHORTNAME
// opens drive C: of IMAGE read-only, clicks the root entry whose 8.3 name
// (blank padded to 11 characters) is SHORTNAME, and grabs the window.
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPixmap>

#include <cstdio>
#include <cstring>

#include "common/engine_context.h"
#include "disk/drive_letters.h"
#include "disk/drive_table.h"
#include "hexexplorer/hex_explorer.h"
#include "hexexplorer/sector_pane.h"

using namespace quillo;

int main(int argc, char** argv) {
    if (argc != 4 || std::strlen(argv[3]) != 11) {
        std::fprintf(stderr, "usage: quillo-hex-shot IMAGE OUT.png SHORTNAME (11 characters)\n");
        return 2;
    }
    QApplication app(argc, argv);
    DriveTable drives(AssignDriveLetters({{argv[1], false}}).drives);
    QuietView view;
    SystemClock clock;
    EngineContext ctx(view, clock, drives);
    ctx.run.DriveString = "C:";
    ctx.run.DriveMenuIndex = 1;
    if (OpenVolumeForViewing(ctx) != ViewerOpening::Opened) {
        std::fprintf(stderr, "cannot open drive C: of %s\n", argv[1]);
        return 1;
    }
    gui::NTQuilHex viewer(ctx, nullptr, [] {});
    viewer.show();
    viewer.Start();
    const int lineHeight = viewer.picText().Metrics().lineHeight;
    for (int32_t index = 0; index <= viewer.LastIndex() && viewer.Depth() == 0; ++index) {
        viewer.txtDir().setText(QString::number(index));
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(&viewer.txtDir(), &enter);
        for (int slot = 0; slot < 16; ++slot) {
            const uint8_t* entry = viewer.SectorBytes().data() + slot * 32;
            if (std::memcmp(entry, argv[3], 11) == 0 && entry[11] != 0x0F) {
                viewer.OpenEntryAt(slot * 2 * lineHeight + 1);
                break;
            }
        }
    }
    for (int i = 0; i < 20; ++i) QApplication::processEvents();
    if (viewer.Depth() == 0) std::fprintf(stderr, "no folder %s in the root\n", argv[3]);
    return viewer.Depth() > 0 && viewer.grab().save(argv[2]) ? 0 : 1;
}
