#pragma once
// Colours of the main window: the 16-colour console palette, the panel
// background, the map tiles and legend names, and the size-chart bars.
#include <QColor>
#include <QString>
#include <array>

namespace quillo::gui {

// Colour number 0..15 of the classic console palette (dark entries at 128,
// light grey 192, bright entries 255). Numbers are taken modulo 16.
QColor PaletteColor(int number);

// A display of 256 colours or fewer (bits per pixel x planes below 9).
bool IsPaletteDisplay(int bitsPerPixel, int planes);

// Background of the panels: light grey on a palette display, where the
// designed very light grey would be dithered; very light grey otherwise.
QColor PanelBackground(bool paletteDisplay);

// The two colours of a category's 5 x 5 checkerboard tile.
struct TileColourPair {
    QColor first;   // pixels where column + row is odd
    QColor second;  // pixels where column + row is even
};
TileColourPair TileColours(int category);

// Colour of the tile pixel at (column, row) of `category`'s checkerboard.
QColor TilePixel(int category, int column, int row);

// Legend word of a map category; empty for categories the legend never shows.
QString LegendName(int category);

// Palette numbers of the size-chart bars, by size class modulo 8.
inline constexpr std::array<int, 8> HistogramColors{9, 11, 13, 10, 12, 14, 6, 4};

}  // namespace quillo::gui
