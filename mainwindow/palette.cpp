#include "mainwindow/palette.h"

#include "common/engine_state.h"

namespace quillo::gui {

QColor PaletteColor(int number) {
    const int k = number & 15;
    if (k == 7) return QColor(192, 192, 192);
    if (k == 8) return QColor(128, 128, 128);
    // Bit 0 blue, bit 1 green, bit 2 red; bit 3 the bright form.
    const int level = (k & 8) ? 255 : 128;
    return QColor((k & 4) ? level : 0, (k & 2) ? level : 0, (k & 1) ? level : 0);
}

bool IsPaletteDisplay(int bitsPerPixel, int planes) {
    return bitsPerPixel * planes < 9;
}

QColor PanelBackground(bool paletteDisplay) {
    return paletteDisplay ? QColor(192, 192, 192) : QColor(224, 224, 224);
}

TileColourPair TileColours(int category) {
    const int k = category & 15;
    // Partial and Fixed are checkerboards whose second colour is not simply
    // the bright form of the first.
    if (k == kCellPartial) return {PaletteColor(9), PaletteColor(15)};
    if (k == kCellFixed) return {PaletteColor(1), PaletteColor(9)};
    return {PaletteColor(k), PaletteColor(k | 8)};
}

QColor TilePixel(int category, int column, int row) {
    const TileColourPair pair = TileColours(category);
    return ((column + row) & 1) ? pair.first : pair.second;
}

QString LegendName(int category) {
    switch (category) {
        case kCellPartial: return QStringLiteral("Partial");
        case kCellFixed: return QStringLiteral("Fixed");
        case kCellFiles: return QStringLiteral("Files");
        case kCellMoving: return QStringLiteral("Moving");
        case kCellFragments: return QStringLiteral("Fragments");
        case kCellTo: return QStringLiteral("To");
        case kCellEmpty: return QStringLiteral("Empty");
        default: return QString();
    }
}

}  // namespace quillo::gui
