#pragma once
// The panel shown in place of the log while a run scans the volume: the
// `Progress` frame with its two status pairs, "Moving:" and the restart note.
#include <QFrame>
#include <QString>

class QGroupBox;
class QLabel;

namespace quillo::gui {

class ProgressPanel : public QFrame {
    Q_OBJECT
public:
    explicit ProgressPanel(QWidget* parent = nullptr);

    void SetActivity(const QString& caption);
    QString Activity() const;
    // Pair 1 is `Label`(6)/(7), pair 2 `Label`(8)/(9). With `repaintNow` the
    // labels are drawn at once, without waiting for the event queue.
    void SetPair(int pair, const QString& caption, const QString& value, bool repaintNow);
    void SetValue(int pair, const QString& value);
    // Both pairs empty, as at the start of a run.
    void ResetPairs();
    // The Stop command's note: "Please wait.." and the other three empty.
    void ShowPleaseWait();
    // `Label`(n) for n = 3, 6..11; null for any other number.
    QLabel* Label(int n) const;
    // Lays the frame and labels out for the panel's current size.
    void Arrange();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QGroupBox* progress_;
    QLabel* labels_[12] = {};
};

}  // namespace quillo::gui
