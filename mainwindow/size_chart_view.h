#pragma once
// The file-size graph (`PicHistoF`): the count scale with grey grid lines,
// fourteen coloured bars and their size labels under a centred title.
#include <QImage>
#include <QStringList>
#include <QWidget>
#include <array>
#include <optional>

#include "analysis/size_chart.h"

namespace quillo::gui {

class SizeChartView : public QWidget {
    Q_OBJECT

public:
    explicit SizeChartView(QWidget* parent = nullptr);

    // Draws the chart in full (one rectangle per bar, cheap enough for the
    // scan's frequent redraws) and keeps it for repaints and resizes.
    void Draw(const quillo::SizeChart& chart);
    void ClearChart();
    void SetBackground(const QColor& colour);

    // For tests: what the last Draw put where.
    const QImage& Canvas() const { return canvas_; }
    QRect BarArea() const { return barArea_; }
    QRect BarRect(int sizeClass) const;     // as drawn, zero-height bars 1 unit high
    QRect LabelRect(int sizeClass) const;   // the size label under the bar
    QStringList LevelLabels() const { return levelLabels_; }  // bottom to top
    int GridLineCount() const { return gridLines_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Render();

    QColor background_;
    QImage canvas_;
    std::optional<quillo::SizeChart> chart_;
    QRect barArea_;
    std::array<QRect, kSizeClassCount> bars_{};
    std::array<QRect, kSizeClassCount> labels_{};
    QStringList levelLabels_;
    int gridLines_ = 0;
};

}  // namespace quillo::gui
