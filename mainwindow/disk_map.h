#pragma once
// The disk map (`picMap`): a grid of cells coloured by category, with the
// legend (`legend`) across its top. The picture lives in an off-screen
// canvas; painting a cell copies a block of its category's tile onto it and
// the paint event only shows the canvas.
#include <QColor>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <array>
#include <cstdint>
#include <vector>

#include "mainwindow/map_geometry.h"

namespace quillo::gui {

class MapLegend;

class DiskMap : public QWidget {
    Q_OBJECT

public:
    // What decides which legend entries are drawn.
    struct LegendConditions {
        bool scanFiles = false;     // a Check or Defrag walks the folders
        bool freeRunTable = false;  // the gap table has entries
        bool swapOnDrive = false;   // the swap file lies on this drive
        int runMode = -1;           // negative: Check; positive: Defrag
    };

    explicit DiskMap(QWidget* parent = nullptr);
    ~DiskMap() override;

    void SetCellSize(int cellSize);
    const MapGeometry& Geometry() const { return geometry_; }
    // The grid for the widget's current size. Only between runs: the
    // engine's cell numbers depend on it.
    void RecomputeGeometry();

    // Clears the legend, draws its entries and renews their tiles.
    void DrawLegend(const LegendConditions& conditions);
    // Copies the category's tile onto the cell; nothing before the layout.
    void PaintCell(int cell, uint8_t category);
    // The whole map from the engine's cells; nothing while there is no map.
    void RedrawMap(const std::vector<uint8_t>& mapCells, const LegendConditions& conditions);
    // Blank map and legend.
    void ClearMap();

    void SetBackground(const QColor& colour);

    // For tests and the window's own checks.
    const QImage& Canvas() const { return canvas_; }
    // Left edge of the category's legend sample; -1 when not drawn.
    int LegendX(int category) const;
    const QImage& LegendCanvas() const;
    QWidget* Legend() const;

signals:
    void resized();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void EnsureCanvas();
    void LayOutLegend();
    void RebuildStamps();
    void DrawLegendEntry(int category, int& x);
    // Copies the cell's pixels onto the canvas; returns the rectangle touched.
    QRect StampCell(int cell, int category);

    MapGeometry geometry_;
    int cellSize_ = 4;
    QColor background_;
    QImage canvas_;
    // Sixteen 5 x 5 tiles side by side, tile k at x = 5k; the image is the
    // working copy the stamps are cut from.
    QImage tileImage_;
    QPixmap tiles_;
    // Each category's cell, CellSize x CellSize, ready for row copies.
    std::array<std::vector<QRgb>, 16> stamps_;
    int stampSize_ = 0;
    std::array<int, 16> legendX_{};
    QRect pendingUpdate_;  // cells painted since the last paint event
    MapLegend* legend_ = nullptr;
};

// The legend band: a widget that shows its own canvas.
class MapLegend : public QWidget {
public:
    explicit MapLegend(QWidget* parent);
    QImage& Canvas();
    void Clear(const QColor& background);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage canvas_;
};

}  // namespace quillo::gui
