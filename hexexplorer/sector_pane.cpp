#include "hexexplorer/sector_pane.h"

#include <QBitmap>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>

#include "mainwindow/palette.h"

namespace quillo::gui {
namespace {

constexpr int kTextLeft = 30;   // units
constexpr int kBoxTop = 45;     // units below the line's top
constexpr int kBoxShorter = 15; // units

}  // namespace

std::vector<QRect> PaneMetrics::Boxes(const EntryMark& mark) const {
    const int top = Units(kBoxTop);
    const int height = lineHeight - Units(kBoxShorter);
    auto column = [](int byte) { return byte % kBytesPerLine; };
    auto row = [](int byte) { return byte / kBytesPerLine; };
    std::vector<QRect> boxes;
    if (mark.pane == MarkPane::Data) {
        for (int i = mark.firstByte; i < mark.firstByte + mark.count; ++i)
            boxes.emplace_back(3 * column(i) * charWidth + Units(kTextLeft), row(i) * lineHeight + top,
                               2 * charWidth, height);
        return boxes;
    }
    const int last = mark.firstByte + mark.count - 1;
    if (row(mark.firstByte) == row(last)) {
        boxes.emplace_back(column(mark.firstByte) * charWidth + Units(kTextLeft),
                           row(mark.firstByte) * lineHeight + top, mark.count * charWidth, height);
        return boxes;
    }
    for (int i = mark.firstByte; i <= last; ++i)
        boxes.emplace_back(column(i) * charWidth + Units(kTextLeft), row(i) * lineHeight + top, charWidth,
                           height);
    return boxes;
}

int PaneMetrics::TextTop(int line, int fontHeight) const {
    return line * lineHeight + Units(kBoxTop) + (lineHeight - Units(kBoxShorter) - fontHeight) / 2;
}

PaneMetrics PaneMetrics::ForFont(const QFont& font) {
    const QFontMetrics fm(font);
    PaneMetrics metrics;
    metrics.charWidth = fm.horizontalAdvance(QChar('x'));
    // A box (8/9 of a line) must hold the font's height.
    metrics.lineHeight = ((fm.height() + 1) * 9 + 7) / 8;
    return metrics;
}

QFont PaneFont() {
    QFont font = QFontDatabase::families().contains("Courier New")
                     ? QFont("Courier New", 10)
                     : QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setStyleStrategy(QFont::NoAntialias);
    return font;
}

SectorPane::SectorPane(int columns, const QFont& font, QWidget* parent)
    : QWidget(parent), font_(font), metrics_(PaneMetrics::ForFont(font)) {
    const QSize size(columns * metrics_.charWidth + 2 * metrics_.Units(kTextLeft),
                     kDumpLines * metrics_.lineHeight + metrics_.Units(kBoxTop - kBoxShorter) + 1);
    setFixedSize(size);
    image_ = QImage(size, QImage::Format_RGB32);
    image_.fill(Qt::white);
}

void SectorPane::Show(const QStringList& lines, const QColor& colour, const std::vector<EntryMark>& marks) {
    colour_ = colour;
    lines_ = lines;
    // The marks on a layer of their own: black is "no mark", and each box is
    // combined exclusive-or with what the layer holds.
    QImage layer(image_.size(), QImage::Format_RGB32);
    layer.fill(Qt::black);
    {
        QPainter painter(&layer);
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        for (const EntryMark& mark : marks)
            for (const QRect& box : metrics_.Boxes(mark)) painter.fillRect(box, PaletteColor(mark.colour));
    }
    image_.fill(Qt::white);
    for (int y = 0; y < image_.height(); ++y) {
        const QRgb* from = reinterpret_cast<const QRgb*>(layer.constScanLine(y));
        QRgb* to = reinterpret_cast<QRgb*>(image_.scanLine(y));
        for (int x = 0; x < image_.width(); ++x)
            if (qRed(from[x]) | qGreen(from[x]) | qBlue(from[x])) to[x] = from[x];
    }
    DrawText(image_, lines, colour);
    if (!marks.empty()) {
        // Over a mark the text is white, readable on every palette colour.
        const QImage marked = layer.createMaskFromColor(qRgb(0, 0, 0), Qt::MaskInColor);
        QImage overMarks = image_;
        DrawText(overMarks, lines, Qt::white);
        QPainter painter(&image_);
        painter.setClipRegion(QRegion(QBitmap::fromImage(marked)));
        painter.drawImage(0, 0, overMarks);
    }
    update();
}

// Character by character at whole columns: a font's fractional advance
// would drift away from the boxes, which are placed by whole columns.
void SectorPane::DrawText(QImage& image, const QStringList& lines, const QColor& colour) const {
    QPainter painter(&image);
    painter.setFont(font_);
    painter.setPen(colour);
    const QFontMetrics fm(font_);
    for (int line = 0; line < lines.size(); ++line) {
        const int baseline = metrics_.TextTop(line, fm.height()) + fm.ascent();
        for (int column = 0; column < lines[line].size(); ++column)
            painter.drawText(metrics_.Units(kTextLeft) + column * metrics_.charWidth, baseline,
                             QString(lines[line][column]));
    }
}

void SectorPane::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, image_);
}

void SectorPane::mousePressEvent(QMouseEvent* event) {
    emit pressed(static_cast<int>(event->position().y()));
}

}  // namespace quillo::gui
