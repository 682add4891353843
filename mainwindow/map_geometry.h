#pragma once
// Geometry of the disk map grid and of the free-space pie, in pixels. Pure
// arithmetic, no widgets.
#include <QPoint>

namespace quillo::gui {

struct MapGeometry {
    int CellSize = 0;     // edge of a cell
    int CellPitch = 1;    // CellSize + 1: one background pixel between cells
    int CellsPerRow = 0;
    int CellRows = 0;
    int CellCount = 0;    // usable cells, at most 32,000; 0 before the layout
};

constexpr int kMaxCellCount = 32000;
constexpr int kMinGridCells = 20;   // the grid never shrinks below 20 x 20
constexpr int kMapLeftMargin = 2;
constexpr int kMapTopMargin = 13;   // the legend sits in this band

// The grid that fits a map `mapWidthPx` x `mapHeightPx` pixels large.
MapGeometry ComputeMapGeometry(int cellSize, int mapWidthPx, int mapHeightPx);

// Top-left pixel of `cell` on the map.
QPoint CellOrigin(const MapGeometry& geometry, int cell);

// Twips per pixel of a screen (15 at 96 dpi, 12 at 120 dpi).
int TwipsPerPixel(double logicalDpi);

// Cell edge for a screen: 60 twips in whole pixels (4 at 96 dpi, 5 at 120).
int CellSizeForDpi(double logicalDpi);

struct PieGeometry {
    int PieCenterX = 37;
    int PieCenterY = 37;
    int PieRadius = 27;
};

// The pie of the free-space panel: a larger pie on large-font screens (fewer
// than 15 twips per pixel), centred vertically in a panel `panelHeightPx` high.
PieGeometry ComputePieGeometry(int twipsPerPixel, int panelHeightPx);

}  // namespace quillo::gui
