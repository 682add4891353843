#include "cleaner/progress_bar.h"

#include <QPainter>

#include <algorithm>

namespace quillo::gui {

ProgressBar::ProgressBar(QWidget* parent) : QWidget(parent) { setObjectName("ProgressBar1"); }

void ProgressBar::SetValue(int percent) {
    percent_ = std::clamp(percent, 0, 100);
    update();
}

QSize ProgressBar::sizeHint() const { return QSize(200, fontMetrics().height() + 6); }

void ProgressBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect frame = rect().adjusted(0, 0, -1, -1);
    painter.fillRect(frame, palette().color(QPalette::Base));
    painter.fillRect(QRect(frame.left(), frame.top(), frame.width() * percent_ / 100, frame.height()),
                     palette().color(QPalette::Highlight));
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(frame);
    painter.setPen(palette().color(QPalette::Text));
    painter.drawText(frame, Qt::AlignCenter, QString("%1%").arg(percent_));
}

}  // namespace quillo::gui
