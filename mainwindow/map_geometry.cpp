#include "mainwindow/map_geometry.h"

#include <algorithm>
#include <cmath>

namespace quillo::gui {
namespace {

// Room the grid leaves around it: 2 pixels left and a few right; the 13-pixel
// legend band on top and a few pixels below.
constexpr int kHorizontalMargins = 6;
constexpr int kVerticalMargins = 16;

}  // namespace

MapGeometry ComputeMapGeometry(int cellSize, int mapWidthPx, int mapHeightPx) {
    MapGeometry g;
    g.CellSize = std::max(cellSize, 1);
    g.CellPitch = g.CellSize + 1;
    g.CellsPerRow = std::max((mapWidthPx - kHorizontalMargins) / g.CellPitch, kMinGridCells);
    g.CellRows = std::max((mapHeightPx - kVerticalMargins) / g.CellPitch, kMinGridCells);
    const long long cells = static_cast<long long>(g.CellsPerRow) * g.CellRows;
    g.CellCount = static_cast<int>(std::min<long long>(cells, kMaxCellCount));
    return g;
}

QPoint CellOrigin(const MapGeometry& geometry, int cell) {
    if (geometry.CellsPerRow <= 0) return {kMapLeftMargin, kMapTopMargin};
    const int column = cell % geometry.CellsPerRow;
    const int row = cell / geometry.CellsPerRow;
    return {column * geometry.CellPitch + kMapLeftMargin, row * geometry.CellPitch + kMapTopMargin};
}

int TwipsPerPixel(double logicalDpi) {
    if (logicalDpi <= 0) return 15;
    return std::max(1, static_cast<int>(std::lround(1440.0 / logicalDpi)));
}

int CellSizeForDpi(double logicalDpi) {
    return 60 / TwipsPerPixel(logicalDpi);
}

PieGeometry ComputePieGeometry(int twipsPerPixel, int panelHeightPx) {
    PieGeometry pie;
    const bool largeFont = twipsPerPixel < 15;
    pie.PieRadius = largeFont ? 32 : 27;
    pie.PieCenterX = largeFont ? 45 : 37;
    pie.PieCenterY = panelHeightPx / 2;
    return pie;
}

}  // namespace quillo::gui
