#include "mainwindow/frag_gauge_view.h"

#include <QEvent>
#include <QPainter>
#include <algorithm>

#include "mainwindow/palette.h"

namespace quillo::gui {
namespace {

// The inner bar keeps 2 pixels from the outer bar's edge on each side: its
// 1-pixel frame and a 1-pixel white margin.
constexpr int kInnerInset = 2;
constexpr int kCaptionGap = 2;
// The widest caption the gauge can show.
const char* const kWidestCaption = "100% frag.";
constexpr int kSmallestCaptionPx = 8;

}  // namespace

FragGaugeView::FragGaugeView(QWidget* parent) : QWidget(parent) {
    // The room for the caption depends on the parent's width.
    if (parent != nullptr) parent->installEventFilter(this);
    FitSize();
}

void FragGaugeView::SetBarSize(int width, int height) {
    barWidth_ = std::max(width, 2 * kInnerInset + 1);
    barHeight_ = std::max(height, 2 * kInnerInset + 1);
    FitSize();
    update();
}

void FragGaugeView::Show(const FragGauge& gauge) {
    innerShown_ = gauge.innerBarShown && gauge.barDenominator > 0;
    innerHeight_ = 0;
    if (innerShown_) {
        const int64_t room = barHeight_ - 2 * kInnerInset;
        innerHeight_ = static_cast<int>(std::clamp<int64_t>(
            room * gauge.barNumerator / gauge.barDenominator, 0, room));
    }
    outerShown_ = true;
    caption_ = QString::fromStdString(gauge.caption);
    FitSize();
    update();
}

void FragGaugeView::HideAll() {
    outerShown_ = false;
    innerShown_ = false;
    update();
}

QRect FragGaugeView::OuterBarRect() const {
    return QRect(0, 0, barWidth_, barHeight_);
}

QRect FragGaugeView::InnerBarRect() const {
    if (!innerShown_ || innerHeight_ == 0) return {};
    return QRect(kInnerInset, barHeight_ - kInnerInset - innerHeight_, barWidth_ - 2 * kInnerInset,
                 innerHeight_);
}

QRect FragGaugeView::CaptionRect() const {
    const QFontMetrics metrics(captionFont_);
    return QRect(0, barHeight_ + kCaptionGap, metrics.horizontalAdvance(caption_), metrics.height());
}

QSize FragGaugeView::sizeHint() const {
    const QFontMetrics metrics(captionFont_);
    const int text = std::max(metrics.horizontalAdvance(QString::fromLatin1(kWidestCaption)),
                              metrics.horizontalAdvance(caption_));
    return QSize(std::max(barWidth_, text + 1), barHeight_ + kCaptionGap + metrics.height());
}

void FragGaugeView::FitSize() {
    captionFont_ = font();
    if (const QWidget* parent = parentWidget()) {
        const int room = parent->width() - x();
        const QString widest = QString::fromLatin1(kWidestCaption);
        int pixelSize = QFontInfo(captionFont_).pixelSize();
        while (pixelSize > kSmallestCaptionPx && QFontMetrics(captionFont_).horizontalAdvance(widest) >= room) {
            captionFont_.setPixelSize(--pixelSize);
        }
    }
    const QSize wanted = sizeHint();
    if (size() != wanted) setFixedSize(wanted);
}

void FragGaugeView::paintEvent(QPaintEvent*) {
    if (!outerShown_) return;
    QPainter painter(this);
    const QRect outer = OuterBarRect();
    painter.fillRect(outer, PaletteColor(15));
    painter.setPen(PaletteColor(8));
    painter.drawRect(outer.adjusted(0, 0, -1, -1));
    const QRect inner = InnerBarRect();
    if (!inner.isEmpty()) painter.fillRect(inner, PaletteColor(12));
    painter.setPen(Qt::black);
    painter.setFont(captionFont_);
    painter.drawText(CaptionRect(), Qt::AlignLeft | Qt::AlignTop, caption_);
}

void FragGaugeView::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange) FitSize();
}

void FragGaugeView::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    FitSize();
}

bool FragGaugeView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == parentWidget() && event->type() == QEvent::Resize) FitSize();
    return QWidget::eventFilter(watched, event);
}

}  // namespace quillo::gui
