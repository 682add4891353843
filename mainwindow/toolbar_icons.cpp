#include "mainwindow/toolbar_icons.h"

#include <QFont>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace quillo::gui {

namespace {

const QColor kOutline(0x30, 0x30, 0x38);

QImage BlankImage(int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

// One ring of a bevel, `inset` pixels in from the edge.
void DrawBevelRing(QPainter& painter, int side, int inset, const QColor& topLeft, const QColor& bottomRight) {
    const int first = inset;
    const int last = side - 1 - inset;
    painter.setPen(topLeft);
    painter.drawLine(first, first, last - 1, first);
    painter.drawLine(first, first, first, last - 1);
    painter.setPen(bottomRight);
    painter.drawLine(first, last, last, last);
    painter.drawLine(last, first, last, last);
}

void DrawFace(QPainter& painter, int side, bool pressed) {
    const QRect area(0, 0, side, side);
    if (pressed) {
        painter.fillRect(area, QColor(0xc2, 0xbe, 0xb6));
        DrawBevelRing(painter, side, 0, QColor(0x80, 0x80, 0x80), Qt::white);
        DrawBevelRing(painter, side, 1, QColor(0x40, 0x40, 0x40), QColor(0xe2, 0xdf, 0xda));
    } else {
        QLinearGradient shade(0, 0, 0, side);
        shade.setColorAt(0, QColor(0xf0, 0xee, 0xea));
        shade.setColorAt(1, QColor(0xcc, 0xc8, 0xc0));
        painter.fillRect(area, shade);
        DrawBevelRing(painter, side, 0, Qt::white, QColor(0x40, 0x40, 0x40));
        DrawBevelRing(painter, side, 1, QColor(0xfa, 0xf8, 0xf4), QColor(0x80, 0x80, 0x80));
    }
}

QImage Face(bool pressed) {
    QImage image = BlankImage(kToolbarFaceSize);
    QPainter painter(&image);
    DrawFace(painter, kToolbarFaceSize, pressed);
    return image;
}

// A block with a lit top edge, as the bricks of the defragment picture.
void DrawBlock(QPainter& painter, const QRectF& box, const QColor& colour) {
    QLinearGradient shade(box.topLeft(), box.bottomLeft());
    shade.setColorAt(0, colour.lighter(140));
    shade.setColorAt(1, colour.darker(115));
    painter.setPen(QPen(colour.darker(170), 1));
    painter.setBrush(shade);
    painter.drawRect(box);
}

// Filled arrow along a horizontal line; `pointsLeft` picks its direction.
void DrawArrow(QPainter& painter, const QRectF& box, bool pointsLeft, const QColor& colour) {
    const qreal head = box.height();
    const qreal shaft = box.height() * 0.45;
    const qreal midY = box.center().y();
    QPolygonF arrow;
    if (pointsLeft) {
        arrow << QPointF(box.left(), midY) << QPointF(box.left() + head, box.top())
              << QPointF(box.left() + head, midY - shaft / 2) << QPointF(box.right(), midY - shaft / 2)
              << QPointF(box.right(), midY + shaft / 2) << QPointF(box.left() + head, midY + shaft / 2)
              << QPointF(box.left() + head, box.bottom());
    } else {
        arrow << QPointF(box.right(), midY) << QPointF(box.right() - head, box.top())
              << QPointF(box.right() - head, midY - shaft / 2) << QPointF(box.left(), midY - shaft / 2)
              << QPointF(box.left(), midY + shaft / 2) << QPointF(box.right() - head, midY + shaft / 2)
              << QPointF(box.right() - head, box.bottom());
    }
    QLinearGradient shade(box.topLeft(), box.bottomLeft());
    shade.setColorAt(0, colour.lighter(150));
    shade.setColorAt(1, colour.darker(120));
    painter.setPen(QPen(colour.darker(180), 1, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    painter.setBrush(shade);
    painter.drawPolygon(arrow);
}

// A hard-disk unit seen slightly from above: top, front with slot, side, lamp.
void DrawDisk(QPainter& painter, const QRectF& box) {
    const qreal depth = 4;
    const qreal x = box.left(), y = box.top(), w = box.width(), h = box.height();
    painter.setPen(QPen(kOutline, 1));

    QPolygonF top;
    top << QPointF(x, y + depth) << QPointF(x + depth, y) << QPointF(x + w, y) << QPointF(x + w - depth, y + depth);
    painter.setBrush(QColor(0xf2, 0xf2, 0xf4));
    painter.drawPolygon(top);

    QPolygonF side;
    side << QPointF(x + w - depth, y + depth) << QPointF(x + w, y) << QPointF(x + w, y + h - depth)
         << QPointF(x + w - depth, y + h);
    painter.setBrush(QColor(0x8a, 0x8c, 0x94));
    painter.drawPolygon(side);

    const QRectF front(x, y + depth, w - depth, h - depth);
    QLinearGradient shade(front.topLeft(), front.bottomLeft());
    shade.setColorAt(0, QColor(0xd8, 0xda, 0xe0));
    shade.setColorAt(1, QColor(0xa4, 0xa6, 0xae));
    painter.setBrush(shade);
    painter.drawRect(front);

    painter.setPen(QPen(QColor(0x50, 0x52, 0x5a), 1.2));
    const qreal slotY = front.top() + front.height() * 0.55;
    painter.drawLine(QPointF(front.left() + 2.5, slotY), QPointF(front.right() - 7, slotY));
    painter.setPen(QPen(QColor(0x10, 0x60, 0x10), 0.8));
    painter.setBrush(QColor(0x40, 0xe0, 0x40));
    painter.drawEllipse(QPointF(front.right() - 3.5, slotY), 1.6, 1.6);
}

QImage DefragmentIcon() {
    QImage image = BlankImage(kToolbarIconSize);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // Four bricks, the upper ones still out of line and sliding into place.
    const QColor colours[] = {QColor(0xd8, 0x30, 0x30), QColor(0xe8, 0xb0, 0x10), QColor(0x28, 0xa0, 0x40),
                              QColor(0x30, 0x60, 0xd8)};
    const qreal offsets[] = {7, 3.5, 0, 0};
    const qreal left = 5.5, width = 19, height = 5.5, step = 6.5, top = 3.5;
    for (int row = 0; row < 4; ++row)
        DrawBlock(painter, QRectF(left + offsets[row], top + row * step, width - 1, height), colours[row]);
    DrawArrow(painter, QRectF(0.5, top - 0.5, 10.5, height + 1), true, QColor(0x20, 0x40, 0xa0));
    // The edge everything lines up against.
    painter.setPen(QPen(QColor(0x30, 0x30, 0x30), 1, Qt::DotLine));
    painter.drawLine(QPointF(left - 1.5, 1.5), QPointF(left - 1.5, 28.5));
    return image;
}

QImage ListIcon() {
    QImage image = BlankImage(kToolbarIconSize);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // A sheet with a folded corner, and a list of entries marked as broken up.
    const qreal x = 5.5, y = 1.5, w = 19, h = 27, fold = 6;
    QPolygonF sheet;
    sheet << QPointF(x, y) << QPointF(x + w - fold, y) << QPointF(x + w, y + fold) << QPointF(x + w, y + h)
          << QPointF(x, y + h);
    painter.setPen(QPen(kOutline, 1));
    painter.setBrush(Qt::white);
    painter.drawPolygon(sheet);
    QPolygonF corner;
    corner << QPointF(x + w - fold, y) << QPointF(x + w - fold, y + fold) << QPointF(x + w, y + fold);
    painter.setBrush(QColor(0xd0, 0xd0, 0xd8));
    painter.drawPolygon(corner);

    for (int line = 0; line < 5; ++line) {
        const qreal lineY = y + 8 + line * 4.2;
        painter.setPen(Qt::NoPen);
        painter.setBrush(line % 2 == 0 ? QColor(0xd8, 0x30, 0x30) : QColor(0xe8, 0x90, 0x20));
        painter.drawRect(QRectF(x + 2.5, lineY - 1.3, 2.6, 2.6));
        painter.setPen(QPen(QColor(0x20, 0x30, 0x80), 1.3));
        const qreal end = x + w - 3 - (line == 4 ? 5 : (line % 2) * 2);
        painter.drawLine(QPointF(x + 7, lineY), QPointF(end, lineY));
    }
    return image;
}

QImage DiskStepIcon(bool previous) {
    QImage image = BlankImage(kToolbarIconSize);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawDisk(painter, QRectF(3.5, 15.5, 23, 12));
    DrawArrow(painter, QRectF(4.5, 1.5, 21, 11), previous, QColor(0x20, 0x70, 0xd0));
    return image;
}

QImage CheckDiskIcon() {
    QImage image = BlankImage(kToolbarIconSize);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    DrawDisk(painter, QRectF(1.5, 14.5, 23, 12));
    const QPointF lens(17, 11);
    const qreal radius = 7;
    painter.setPen(QPen(QColor(0x40, 0x28, 0x10), 4, Qt::SolidLine, Qt::RoundCap));
    painter.drawLine(QPointF(22, 16), QPointF(27, 22));
    painter.setPen(QPen(QColor(0x30, 0x30, 0x38), 2.2));
    painter.setBrush(QColor(0xa8, 0xd8, 0xff, 150));
    painter.drawEllipse(lens, radius, radius);
    painter.setPen(QPen(QColor(255, 255, 255, 200), 1.4, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(QRectF(lens.x() - 4.5, lens.y() - 4.5, 9, 9), 100 * 16, 70 * 16);
    return image;
}

QImage StopFace(bool pressed) {
    QImage image = BlankImage(kToolbarFaceSize);
    QPainter painter(&image);
    DrawFace(painter, kToolbarFaceSize, pressed);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal shift = pressed ? 1 : 0;
    const QPointF centre(kToolbarFaceSize / 2.0 + shift, kToolbarFaceSize / 2.0 + shift);
    const qreal radius = 14;
    // A regular octagon with flat top and bottom edges.
    QPolygonF octagon;
    const qreal edge = radius * 0.4142;
    const QPointF corners[] = {{-edge, -radius}, {edge, -radius}, {radius, -edge}, {radius, edge},
                               {edge, radius},   {-edge, radius}, {-radius, edge}, {-radius, -edge}};
    for (const QPointF& corner : corners) octagon << centre + corner;
    QLinearGradient shade(centre.x(), centre.y() - radius, centre.x(), centre.y() + radius);
    const QColor red = pressed ? QColor(0xa8, 0x14, 0x14) : QColor(0xd8, 0x20, 0x20);
    shade.setColorAt(0, red.lighter(125));
    shade.setColorAt(1, red.darker(120));
    painter.setPen(QPen(QColor(0x60, 0x08, 0x08), 1));
    painter.setBrush(shade);
    painter.drawPolygon(octagon);
    // A white rim just inside the edge.
    QPolygonF rim;
    for (const QPointF& corner : corners) rim << centre + corner * 0.84;
    painter.setPen(QPen(Qt::white, 1.3));
    painter.setBrush(Qt::NoBrush);
    painter.drawPolygon(rim);
    QFont font;
    font.setBold(true);
    font.setPixelSize(7);
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), Qt::AlignCenter,
                     "STOP");
    return image;
}

// The same picture without colour and lighter, for a command that cannot run.
QImage Greyed(const QImage& source) {
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = qAlpha(line[x]);
            if (alpha == 0) continue;
            const int level = 112 + qGray(line[x]) * 9 / 16;
            line[x] = qRgba(level, level, level, alpha);
        }
    }
    return image;
}

QImage ElementImage(int element) {
    switch (element) {
        case 0: case 1: case 2: case 3: case 4: return Face(false);
        case 12: case 14: case 15: case 16: case 18: return Face(true);
        case 5: return DefragmentIcon();
        case 6: return Greyed(ListIcon());
        case 13: return ListIcon();
        case 7: return DiskStepIcon(true);
        case 8: return DiskStepIcon(false);
        case 9: return CheckDiskIcon();
        case 10: return StopFace(false);
        case 11: return StopFace(true);
        case 19: return Greyed(DefragmentIcon());
        case 20: return Greyed(DiskStepIcon(true));
        case 21: return Greyed(DiskStepIcon(false));
        case 22: return Greyed(CheckDiskIcon());
        default: return {};
    }
}

}  // namespace

QPixmap ToolbarImage(int element) {
    const QImage image = ElementImage(element);
    return image.isNull() ? QPixmap() : QPixmap::fromImage(image);
}

}  // namespace quillo::gui
