#include "mainwindow/size_chart_view.h"

#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

#include "mainwindow/palette.h"

namespace quillo::gui {
namespace {

constexpr int kTitleTop = 1;
constexpr int kCountLabelGap = 3;   // count labels end this far left of the bars

}  // namespace

SizeChartView::SizeChartView(QWidget* parent)
    : QWidget(parent), background_(PanelBackground(false)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SizeChartView::Draw(const quillo::SizeChart& chart) {
    chart_ = chart;
    Render();
}

void SizeChartView::ClearChart() {
    chart_.reset();
    Render();
}

void SizeChartView::SetBackground(const QColor& colour) {
    background_ = colour;
    Render();
}

QRect SizeChartView::BarRect(int sizeClass) const {
    return sizeClass >= 0 && sizeClass < kSizeClassCount ? bars_[sizeClass] : QRect();
}

QRect SizeChartView::LabelRect(int sizeClass) const {
    return sizeClass >= 0 && sizeClass < kSizeClassCount ? labels_[sizeClass] : QRect();
}

void SizeChartView::Render() {
    canvas_ = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    canvas_.fill(background_);
    barArea_ = QRect();
    bars_.fill(QRect());
    labels_.fill(QRect());
    levelLabels_.clear();
    gridLines_ = 0;
    update();
    if (!chart_) return;
    const quillo::SizeChart& chart = *chart_;

    QPainter painter(&canvas_);
    painter.setFont(font());
    const QFontMetrics metrics(font());
    const int lineHeight = metrics.height();
    const int w = canvas_.width();
    const int h = canvas_.height();

    const QString title = QString::fromStdString(chart.title);
    painter.setPen(Qt::black);
    painter.drawText(QPoint((w - metrics.horizontalAdvance(title)) / 2, kTitleTop + metrics.ascent()), title);

    // Vertical room: the title and half a line for the top count label above
    // the bars; two lines of size labels below them.
    const int top = kTitleTop + lineHeight + lineHeight / 2;
    const int bottom = std::max(h - 1 - 2 * lineHeight, top + 1);
    const int areaHeight = bottom - top;

    const int left = metrics.horizontalAdvance(QStringLiteral("10000 "));
    const int lastLabelWidth = metrics.horizontalAdvance(QStringLiteral("32k"));
    int areaWidth = w - left - lastLabelWidth;
    int barWidth = areaWidth / kSizeClassCount;
    if (lastLabelWidth > barWidth) {
        // Room for the last label to reach past its bar.
        areaWidth -= lastLabelWidth - barWidth;
        barWidth = areaWidth / kSizeClassCount;
    }
    barWidth = std::max(barWidth, 1);
    barArea_ = QRect(left, top, barWidth * kSizeClassCount, areaHeight);

    const int steps = std::max(chart.scaleSteps, 1);
    for (int i = 0; i <= steps; ++i) {
        const int y = bottom - static_cast<int>(static_cast<int64_t>(areaHeight) * i / steps);
        if (i >= 1) {
            painter.setPen(QColor(128, 128, 128));
            painter.drawLine(barArea_.left(), y, barArea_.right(), y);
            ++gridLines_;
        }
        const QString count = QString::number(static_cast<int64_t>(chart.scaleStep) * i);
        levelLabels_.append(count);
        painter.setPen(Qt::black);
        painter.drawText(QRect(0, y - lineHeight / 2, left - kCountLabelGap, lineHeight),
                         Qt::AlignRight | Qt::AlignVCenter, count);
    }

    // A pixel between neighbouring bars where they are wide enough to spare it.
    const int drawnWidth = barWidth > 2 ? barWidth - 1 : barWidth;
    for (int k = 0; k < kSizeClassCount; ++k) {
        const quillo::SizeChartBar& bar = chart.bars[k];
        const int x = left + k * barWidth;
        const int height = quillo::BarHeight(chart, k, areaHeight);
        if (height <= 0) {
            bars_[k] = QRect(x, bottom - 1, drawnWidth, 1);
            painter.fillRect(bars_[k], background_);
        } else {
            bars_[k] = QRect(x, bottom - height, drawnWidth, height);
            painter.fillRect(bars_[k], PaletteColor(bar.colour));
        }
        const QString label = QString::fromStdString(bar.label);
        const int labelWidth = metrics.horizontalAdvance(label);
        const int labelLeft = std::clamp(x + barWidth / 2 - labelWidth / 2, 0, std::max(w - labelWidth, 0));
        labels_[k] = QRect(labelLeft, bottom + 1 + (bar.labelLowered ? lineHeight : 0), labelWidth, lineHeight);
        painter.setPen(Qt::black);
        painter.drawText(labels_[k], Qt::AlignLeft | Qt::AlignTop, label);
    }
}

void SizeChartView::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect area = event->rect();
    painter.fillRect(area, background_);
    painter.drawImage(area.topLeft(), canvas_, area);
}

void SizeChartView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Render();
}

}  // namespace quillo::gui
