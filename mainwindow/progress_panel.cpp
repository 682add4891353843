#include "mainwindow/progress_panel.h"

#include <QGroupBox>
#include <QLabel>

namespace quillo::gui {

ProgressPanel::ProgressPanel(QWidget* parent) : QFrame(parent) {
    setObjectName("Text0");
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    setAutoFillBackground(true);
    progress_ = new QGroupBox("Checking disk", this);
    progress_->setObjectName("Progress");
    for (int n : {3, 6, 7, 8, 9, 10, 11}) {
        labels_[n] = new QLabel(progress_);
        labels_[n]->setObjectName(QString("Label%1").arg(n));
    }
    labels_[3]->setText("Another task has modified the disk... restarting.");
    labels_[3]->setWordWrap(true);
    labels_[3]->hide();
    labels_[10]->setText("Moving:");
    labels_[10]->hide();
    labels_[11]->hide();
    for (int n : {7, 9, 11}) labels_[n]->setTextFormat(Qt::PlainText);
}

void ProgressPanel::SetActivity(const QString& caption) { progress_->setTitle(caption); }

QString ProgressPanel::Activity() const { return progress_->title(); }

void ProgressPanel::SetPair(int pair, const QString& caption, const QString& value, bool repaintNow) {
    QLabel* captionLabel = labels_[pair == 1 ? 6 : 8];
    QLabel* valueLabel = labels_[pair == 1 ? 7 : 9];
    captionLabel->setText(caption);
    valueLabel->setText(value);
    if (repaintNow) {
        captionLabel->repaint();
        valueLabel->repaint();
    }
}

void ProgressPanel::SetValue(int pair, const QString& value) { labels_[pair == 1 ? 7 : 9]->setText(value); }

void ProgressPanel::ResetPairs() {
    for (int n : {6, 7, 8, 9}) labels_[n]->clear();
}

void ProgressPanel::ShowPleaseWait() {
    ResetPairs();
    labels_[6]->setText("Please wait..");
    labels_[6]->repaint();
}

QLabel* ProgressPanel::Label(int n) const { return n >= 0 && n < 12 ? labels_[n] : nullptr; }

void ProgressPanel::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    Arrange();
}

void ProgressPanel::Arrange() {
    // The frame is 7 pixels shorter than the panel; the restart note sits
    // 32 pixels above the frame's bottom.
    const int frameHeight = std::max(40, height() - 7);
    progress_->setGeometry(3, 2, std::max(60, width() - 6), frameHeight);
    const int lineHeight = fontMetrics().height() + 3;
    const int captionWidth = std::max(90, fontMetrics().horizontalAdvance("Fragmented Files =  "));
    const int valueWidth = std::max(40, progress_->width() - 12 - captionWidth);
    int y = fontMetrics().height() + 6;
    for (int pair : {6, 8, 10}) {
        labels_[pair]->setGeometry(8, y, captionWidth, lineHeight);
        labels_[pair + 1]->setGeometry(8 + captionWidth, y, valueWidth, lineHeight);
        y += lineHeight;
    }
    labels_[3]->setGeometry(8, frameHeight - 32, progress_->width() - 16, 2 * lineHeight);
}

}  // namespace quillo::gui
