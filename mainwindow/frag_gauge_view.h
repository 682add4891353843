#pragma once
// The fragmentation gauge: the white outer bar `FragBar`(0), the red inner
// bar `FragBar`(1) rising from its bottom, and the caption `Label`(2)
// ("  3% frag.") under them. The widget sizes itself so the caption always
// fits, in a smaller font when the parent leaves too little room right of
// the bar; the window only places it (bar at the widget's top-left corner).
#include <QFont>
#include <QString>
#include <QWidget>

#include "analysis/statistics.h"

namespace quillo::gui {

class FragGaugeView : public QWidget {
    Q_OBJECT

public:
    explicit FragGaugeView(QWidget* parent = nullptr);

    // The outer bar: narrow and as tall as the pie's diameter.
    void SetBarSize(int width, int height);
    // Shows the outer bar and the caption, and the inner bar when the gauge
    // has fragmented clusters.
    void Show(const FragGauge& gauge);
    // Hides all three, as when a drive is selected.
    void HideAll();

    // For tests and placement.
    QRect OuterBarRect() const;
    QRect InnerBarRect() const;   // empty when hidden
    QRect CaptionRect() const;
    bool InnerBarShown() const { return innerShown_; }
    bool CaptionShown() const { return outerShown_; }
    QString Caption() const { return caption_; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FitSize();

    int barWidth_ = 10;
    int barHeight_ = 54;
    bool outerShown_ = false;
    bool innerShown_ = false;
    int innerHeight_ = 0;
    QString caption_;
    QFont captionFont_;
};

}  // namespace quillo::gui
