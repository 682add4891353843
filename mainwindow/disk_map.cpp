#include "mainwindow/disk_map.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>

#include "common/engine_state.h"
#include "mainwindow/palette.h"

namespace quillo::gui {
namespace {

constexpr int kTileEdge = 5;
constexpr int kCategories = 16;
constexpr int kLegendHeight = 12;          // inside the 13-pixel top margin
constexpr int kLegendInset = 2;            // the legend is 4 pixels narrower
constexpr int kLegendSampleGap = 3;        // before each sample
constexpr int kLegendSampleTop = 3;        // samples cover rows 3..7
constexpr int kLegendTextOffset = 7;       // name starts 3 pixels after the sample
constexpr int kLegendTextTop = -2;

// Tile column (or row) for pixel `i` of a cell: the tile itself for cells up
// to 5 pixels, and beyond that the checkerboard continued with the same parity
// instead of reading the neighbouring tile.
int TileIndex(int i) {
    if (i < kTileEdge) return i;
    return (i & 1) ? 3 : 4;
}

QImage BlankImage(QSize size, const QColor& background) {
    QImage image(size.expandedTo(QSize(1, 1)), QImage::Format_RGB32);
    image.fill(background);
    return image;
}

}  // namespace

DiskMap::DiskMap(QWidget* parent)
    : QWidget(parent), background_(PanelBackground(false)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    legendX_.fill(-1);
    // Every tile starts as its category's checkerboard, so a cell painted
    // before its legend entry (the FAT32 root on a first map-only look is
    // Fixed without a "Fixed" entry) never shows an undefined block.
    tileImage_ = QImage(kTileEdge * kCategories, kTileEdge, QImage::Format_RGB32);
    for (int k = 0; k < kCategories; ++k) {
        for (int j = 0; j < kTileEdge; ++j) {
            for (int i = 0; i < kTileEdge; ++i) tileImage_.setPixel(kTileEdge * k + i, j, TilePixel(k, i, j).rgb());
        }
    }
    tiles_ = QPixmap::fromImage(tileImage_);
    legend_ = new MapLegend(this);
    QFont legendFont(QStringLiteral("Arial"));
    legendFont.setStyleHint(QFont::SansSerif);
    legendFont.setPixelSize(11);
    legend_->setFont(legendFont);
    EnsureCanvas();
}

DiskMap::~DiskMap() = default;

void DiskMap::SetCellSize(int cellSize) {
    cellSize_ = std::max(cellSize, 1);
}

void DiskMap::RecomputeGeometry() {
    geometry_ = ComputeMapGeometry(cellSize_, width(), height());
    RebuildStamps();
}

void DiskMap::SetBackground(const QColor& colour) {
    background_ = colour;
    canvas_.fill(background_);
    legend_->Clear(background_);
    update();
}

int DiskMap::LegendX(int category) const {
    return category >= 0 && category < kCategories ? legendX_[category] : -1;
}

const QImage& DiskMap::LegendCanvas() const { return legend_->Canvas(); }

QWidget* DiskMap::Legend() const { return legend_; }

void DiskMap::DrawLegend(const LegendConditions& c) {
    EnsureCanvas();
    legend_->Clear(background_);
    legendX_.fill(-1);
    int x = 0;
    if (c.scanFiles || c.freeRunTable || c.swapOnDrive) DrawLegendEntry(kCellFixed, x);
    DrawLegendEntry(kCellFiles, x);
    if (c.scanFiles || c.freeRunTable) DrawLegendEntry(kCellPartial, x);
    DrawLegendEntry(kCellEmpty, x);
    DrawLegendEntry(kCellFragments, x);
    if (c.scanFiles && c.runMode >= 0) {
        DrawLegendEntry(kCellMoving, x);
        DrawLegendEntry(kCellTo, x);
    }
    tiles_ = QPixmap::fromImage(tileImage_);
    RebuildStamps();
    legend_->update();
}

void DiskMap::DrawLegendEntry(int category, int& x) {
    const int start = x;
    const int sampleLeft = x + kLegendSampleGap;
    legendX_[category] = sampleLeft;
    QImage& canvas = legend_->Canvas();
    for (int j = 0; j < kTileEdge; ++j) {
        for (int i = 0; i < kTileEdge; ++i) {
            const QRgb rgb = TilePixel(category, i, j).rgb();
            const int px = sampleLeft + i;
            const int py = kLegendSampleTop + j;
            if (canvas.valid(px, py)) canvas.setPixel(px, py, rgb);
            tileImage_.setPixel(kTileEdge * category + i, j, rgb);
        }
    }
    const QString name = LegendName(category);
    if (name.isEmpty()) {
        x = start;
        return;
    }
    const int textLeft = sampleLeft + kLegendTextOffset;
    QPainter painter(&canvas);
    painter.setFont(legend_->font());
    painter.setPen(Qt::black);
    const QFontMetrics metrics(legend_->font());
    const int textWidth = metrics.horizontalAdvance(name);
    painter.drawText(QRect(textLeft, kLegendTextTop, textWidth + 1, metrics.height()),
                     Qt::AlignLeft | Qt::AlignTop, name);
    x = textLeft + textWidth;
}

void DiskMap::PaintCell(int cell, uint8_t category) {
    if (geometry_.CellCount == 0) return;
    EnsureCanvas();
    const QRect touched = StampCell(cell, category);
    if (touched.isEmpty()) return;
    // One growing rectangle: thousands of separate cell rectangles would make
    // the pending update region, and every addition to it, ever more costly.
    pendingUpdate_ |= touched;
    update(pendingUpdate_);
}

void DiskMap::RedrawMap(const std::vector<uint8_t>& mapCells, const LegendConditions& conditions) {
    if (mapCells.size() <= 1) return;
    EnsureCanvas();
    canvas_.fill(background_);
    DrawLegend(conditions);
    if (geometry_.CellCount != 0) {
        const int last = static_cast<int>(std::min<size_t>(mapCells.size(), INT32_MAX));
        for (int cell = 0; cell < last; ++cell) {
            if (mapCells[cell] != kCellNone) StampCell(cell, mapCells[cell]);
        }
    }
    update();
}

void DiskMap::ClearMap() {
    EnsureCanvas();
    canvas_.fill(background_);
    legend_->Clear(background_);
    legendX_.fill(-1);
    update();
}

QRect DiskMap::StampCell(int cell, int category) {
    if (cell < 0 || stampSize_ == 0) return {};
    const std::vector<QRgb>& stamp = stamps_[category & 15];
    const QPoint origin = CellOrigin(geometry_, cell);
    // Cells beyond the canvas (a grid held at 20 x 20 in a smaller map) are
    // clipped, as a copy outside a picture would be.
    const QRect cellRect(origin, QSize(stampSize_, stampSize_));
    const QRect visible = cellRect & canvas_.rect();
    if (visible.isEmpty()) return {};
    const int skipX = visible.left() - cellRect.left();
    const int columns = visible.width();
    // Rows of a few pixels: a plain loop beats a library copy call per row.
    uchar* bits = canvas_.bits();
    const qsizetype stride = canvas_.bytesPerLine();
    for (int y = visible.top(); y <= visible.bottom(); ++y) {
        const QRgb* source = stamp.data() + (y - cellRect.top()) * stampSize_ + skipX;
        QRgb* target = reinterpret_cast<QRgb*>(bits + y * stride) + visible.left();
        for (int i = 0; i < columns; ++i) target[i] = source[i];
    }
    return visible;
}

void DiskMap::RebuildStamps() {
    stampSize_ = geometry_.CellCount == 0 ? 0 : geometry_.CellSize;
    for (int k = 0; k < kCategories; ++k) {
        std::vector<QRgb>& stamp = stamps_[k];
        stamp.resize(static_cast<size_t>(stampSize_) * stampSize_);
        for (int j = 0; j < stampSize_; ++j) {
            const QRgb* tileRow = reinterpret_cast<const QRgb*>(tileImage_.constScanLine(TileIndex(j)));
            for (int i = 0; i < stampSize_; ++i) stamp[j * stampSize_ + i] = tileRow[kTileEdge * k + TileIndex(i)];
        }
    }
}

void DiskMap::EnsureCanvas() {
    // The canvas only grows: what is drawn survives a shrink and regrow, and
    // cells beyond the visible area are kept for when it becomes visible.
    const QSize wanted = size().expandedTo(canvas_.size()).expandedTo(QSize(1, 1));
    if (canvas_.size() != wanted) {
        QImage grown = BlankImage(wanted, background_);
        if (!canvas_.isNull()) {
            QPainter painter(&grown);
            painter.drawImage(0, 0, canvas_);
        }
        canvas_ = grown;
    }
    LayOutLegend();
}

void DiskMap::LayOutLegend() {
    const QRect wanted(kLegendInset, 0, std::max(width() - 2 * kLegendInset, 1), kLegendHeight);
    if (legend_->geometry() != wanted) legend_->setGeometry(wanted);
    QImage& canvas = legend_->Canvas();
    if (canvas.width() < wanted.width() || canvas.height() < wanted.height()) {
        QImage grown = BlankImage(wanted.size().expandedTo(canvas.size()), background_);
        if (!canvas.isNull()) {
            QPainter painter(&grown);
            painter.drawImage(0, 0, canvas);
        }
        canvas = grown;
    }
}

void DiskMap::paintEvent(QPaintEvent* event) {
    pendingUpdate_ = QRect();
    QPainter painter(this);
    // The canvas is never smaller than the widget.
    const QRect area = event->rect();
    painter.drawImage(area.topLeft(), canvas_, area);
}

void DiskMap::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    EnsureCanvas();
    emit resized();
}

MapLegend::MapLegend(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QImage& MapLegend::Canvas() { return canvas_; }

void MapLegend::Clear(const QColor& background) {
    if (canvas_.isNull()) canvas_ = BlankImage(size(), background);
    canvas_.fill(background);
    update();
}

void MapLegend::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    const QRect area = event->rect();
    painter.fillRect(area, palette().window());
    painter.drawImage(area.topLeft(), canvas_, area);
}

}  // namespace quillo::gui
