#include "mainwindow/free_space_pie.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "mainwindow/palette.h"

namespace quillo::gui {
namespace {

constexpr double kFullTurn = 6.28318;
constexpr double kHalfTurn = 3.14159;
constexpr double kMinAngle = 0.02;
constexpr double kMaxAngle = 6.26;
constexpr double kFreeWedgeStart = 0.00001;
constexpr int kLabelGap = 2;       // between the label and the horizontal diameter
constexpr int kSmallestLabelPx = 7;

double Degrees(double radians) { return radians * 180.0 / M_PI; }

// A closed wedge from `from` to `to` radians, counter-clockwise on screen.
QPainterPath Wedge(const QRectF& box, double from, double to) {
    QPainterPath path;
    path.moveTo(box.center());
    path.arcTo(box, Degrees(from), Degrees(to - from));
    path.closeSubpath();
    return path;
}

}  // namespace

PieFigures ComputePie(int64_t freeClusters, int64_t totalClusters) {
    PieFigures f;
    if (totalClusters == 0) {
        f.noVolume = true;
        f.fullCircle = true;
        return f;
    }
    const double share = static_cast<double>(freeClusters) / static_cast<double>(totalClusters);
    f.angle = share * kFullTurn;
    // nearbyint rounds halves to the even neighbour in the default mode.
    f.percent = static_cast<int>(std::nearbyint(share * 100.0));
    f.fullCircle = freeClusters == totalClusters;
    if (!f.fullCircle) f.angle = std::clamp(f.angle, kMinAngle, kMaxAngle);
    f.freeWedgeLarge = f.angle > kHalfTurn;
    f.label = QStringLiteral("Free %1%").arg(f.percent);
    return f;
}

FreeSpacePie::FreeSpacePie(QWidget* parent)
    : QWidget(parent), background_(PanelBackground(false)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void FreeSpacePie::SetPie(const PieGeometry& pie) {
    pie_ = pie;
    Render();
}

void FreeSpacePie::SetBackground(const QColor& colour) {
    background_ = colour;
    Render();
}

void FreeSpacePie::Draw(int64_t freeClusters, int64_t totalClusters) {
    figures_ = ComputePie(freeClusters, totalClusters);
    drawn_ = true;
    Render();
}

void FreeSpacePie::ClearChart() {
    figures_ = PieFigures{};
    drawn_ = false;
    Render();
}

void FreeSpacePie::Render() {
    canvas_ = QImage(size().expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    canvas_.fill(background_);
    labelRect_ = QRect();
    if (drawn_) {
        QPainter painter(&canvas_);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Qt::black, 1));
        const double r = pie_.PieRadius;
        const QRectF box(pie_.PieCenterX - r, pie_.PieCenterY - r, 2 * r, 2 * r);
        if (figures_.fullCircle) {
            painter.setBrush(PaletteColor(15));
            painter.drawEllipse(box);
        } else {
            painter.setBrush(PaletteColor(15));
            painter.drawPath(Wedge(box, kFreeWedgeStart, figures_.angle));
            painter.setBrush(PaletteColor(9));
            painter.drawPath(Wedge(box, figures_.angle, kFullTurn));
        }
        if (!figures_.noVolume) DrawLabel(painter);
    }
    update();
}

// The label goes into the half of the pie that one slice fills entirely:
// the upper half is all free (white) when the free wedge passes half a turn,
// otherwise the lower half is all used (blue). Black on white, white on blue,
// in a font small enough for the chord it sits on.
void FreeSpacePie::DrawLabel(QPainter& painter) {
    const int r = pie_.PieRadius;
    QFont font = this->font();
    int pixelSize = std::max(QFontMetrics(font).height() - 2, kSmallestLabelPx);
    for (;; --pixelSize) {
        font.setPixelSize(pixelSize);
        const QFontMetrics metrics(font);
        const int far = kLabelGap + metrics.height();
        const double chord = far < r ? 2.0 * std::sqrt(double(r) * r - double(far) * far) : 0.0;
        // Sized for the widest label, so the text keeps one size as the share changes.
        if (metrics.horizontalAdvance(QStringLiteral("Free 100%")) + 4 <= chord || pixelSize <= kSmallestLabelPx) break;
    }
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(figures_.label);
    const int top = figures_.freeWedgeLarge ? pie_.PieCenterY - kLabelGap - metrics.height()
                                            : pie_.PieCenterY + kLabelGap;
    labelRect_ = QRect(pie_.PieCenterX - width / 2, top, width, metrics.height());
    painter.setFont(font);
    painter.setPen(figures_.freeWedgeLarge ? Qt::black : Qt::white);
    painter.setBrush(Qt::NoBrush);  // text over the chart, no background box
    painter.drawText(labelRect_, Qt::AlignCenter, figures_.label);
}

void FreeSpacePie::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect area = event->rect();
    painter.fillRect(area, background_);
    painter.drawImage(area.topLeft(), canvas_, area);
}

void FreeSpacePie::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Render();
}

}  // namespace quillo::gui
