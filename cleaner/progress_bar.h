#pragma once
// `ProgressBar1`: the duplicate scan's progress, a bar filled to a percentage.
#include <QWidget>

namespace quillo::gui {

class ProgressBar final : public QWidget {
    Q_OBJECT
public:
    explicit ProgressBar(QWidget* parent = nullptr);
    void SetValue(int percent);
    int Value() const { return percent_; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int percent_ = 0;
};

}  // namespace quillo::gui
