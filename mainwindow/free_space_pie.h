#pragma once
// The free-space chart (`Text`(1)): a two-slice pie, free white and used
// blue, with the label "Free 35%".
#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>

#include "mainwindow/map_geometry.h"

class QPainter;

namespace quillo::gui {

struct PieFigures {
    bool noVolume = false;    // total 0: a bare white circle, no label
    bool fullCircle = false;  // all free (or no volume): one white circle
    double angle = 0;         // end of the free wedge, radians counter-clockwise from +x
    int percent = 0;          // free share, rounded half to even
    bool freeWedgeLarge = false;  // angle beyond half a turn
    QString label;            // "Free 35%"; empty without a volume
};

// Clamps the angle to 0.02 .. 6.26 so that neither slice vanishes.
PieFigures ComputePie(int64_t freeClusters, int64_t totalClusters);

class FreeSpacePie : public QWidget {
    Q_OBJECT

public:
    explicit FreeSpacePie(QWidget* parent = nullptr);

    void SetPie(const PieGeometry& pie);
    const PieGeometry& Pie() const { return pie_; }
    // Redraws the chart for the volume's free and total cluster counts.
    void Draw(int64_t freeClusters, int64_t totalClusters);
    // A blank panel, as after selecting an unreadable drive.
    void ClearChart();
    void SetBackground(const QColor& colour);

    // For tests.
    QString LabelText() const { return figures_.label; }
    const PieFigures& Figures() const { return figures_; }
    QRect LabelRect() const { return labelRect_; }
    const QImage& Canvas() const { return canvas_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Render();
    void DrawLabel(QPainter& painter);

    PieGeometry pie_;
    QColor background_;
    QImage canvas_;
    PieFigures figures_;
    bool drawn_ = false;
    QRect labelRect_;
};

}  // namespace quillo::gui
