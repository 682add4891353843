#include "mainwindow/splash_window.h"

#include <QPainter>
#include <QSplashScreen>

#include "mainwindow/palette.h"

namespace quillo::gui {
namespace {

void DrawCentredLine(QPainter& painter, const QRect& box, int pointSize, bool bold, const QColor& colour,
                     const QString& text) {
    QFont font = painter.font();
    font.setPointSize(pointSize);
    font.setBold(bold);
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(box, Qt::AlignCenter, text);
}

}  // namespace

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
    DrawCentredLine(painter, QRect(0, 20, 360, 50), 26, true, PaletteColor(1), "Quillo");
    DrawCentredLine(painter, QRect(0, 66, 360, 20), 9, false, PaletteColor(0), "Disk optimiser for FAT volumes");
    painter.setPen(PaletteColor(8));
    painter.drawRect(0, 0, 359, 149);
    painter.end();
    return new QSplashScreen(picture);
}

}  // namespace quillo::gui
