#include "mainwindow/splash_window.h"

#include <QPainter>
#include <QSplashScreen>

#include "mainwindow/palette.h"

namespace quillo::gui {

QSplashScreen* MakeSplashWindow() {
    QPixmap picture(360, 150);
    picture.fill(PanelBackground(false));
    QPainter painter(&picture);
    // A strip of map cells, the program's own picture of a tidy disk.
    const int categories[] = {9, 9, 9, 9, 9, 9, 9, 9, 9, 9, 12, 9, 15, 15, 15, 15};
    for (int i = 0; i < 16; ++i) {
        const QColor colour = PaletteColor(categories[i]);
        painter.fillRect(40 + i * 18, 96, 16, 16, colour);
        painter.setPen(PaletteColor(8));
        painter.drawRect(40 + i * 18, 96, 16, 16);
    }
    QFont title = painter.font();
    title.setPointSize(26);
    title.setBold(true);
    painter.setFont(title);
    painter.setPen(PaletteColor(1));
    painter.drawText(QRect(0, 20, 360, 50), Qt::AlignCenter, "Quillo");
    QFont small = painter.font();
    small.setPointSize(9);
    small.setBold(false);
    painter.setFont(small);
    painter.setPen(PaletteColor(0));
    painter.drawText(QRect(0, 66, 360, 20), Qt::AlignCenter, "Disk optimiser for FAT volumes");
    painter.setPen(PaletteColor(8));
    painter.drawRect(0, 0, 359, 149);
    painter.end();
    return new QSplashScreen(picture);
}

}  // namespace quillo::gui
