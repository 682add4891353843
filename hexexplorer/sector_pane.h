#pragma once
// One pane of the sector viewer (offsets, hexadecimal bytes or characters):
// 32 lines of fixed-pitch text in the sector's colour, with marks drawn
// exclusive-or over them, so a second box over the same place cancels the
// first. Marks are shown in their own palette colour under the text (the
// text turns white there), whatever the pane's background.
#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QStringList>
#include <QWidget>

#include <vector>

#include "hexexplorer/sector_dump.h"

namespace quillo::gui {

// Where things lie in a pane, in pixels. The layout is kept in the units of
// the original design (a line is 135 units high; text starts 30 units in; a
// box starts 45 units below its line's top and is 15 units shorter than a
// line), scaled so that one line holds the font.
struct PaneMetrics {
    int charWidth = 8;    // width of "x"
    int lineHeight = 18;
    int Units(int units) const { return (units * lineHeight + 67) / 135; }
    // The box of the bytes of a mark, one per line it touches: in the data
    // pane two characters wide at the byte's digits; in the text pane one
    // box for a run that stays on one line, else one box per byte.
    std::vector<QRect> Boxes(const EntryMark& mark) const;
    // Top of the text of line `line`: its glyphs sit inside the line's boxes.
    int TextTop(int line, int fontHeight) const;
    // The dump line under vertical position `y`.
    int LineAt(int y) const { return y / lineHeight; }
    static PaneMetrics ForFont(const QFont& font);
};

// "Courier New" where installed, else the system's fixed-pitch font; drawn
// without antialiasing, so every text pixel is the pane's colour.
QFont PaneFont();

class SectorPane : public QWidget {
    Q_OBJECT
public:
    SectorPane(int columns, const QFont& font, QWidget* parent = nullptr);

    // Clears the pane to `text` lines in `colour` with `marks` over them.
    void Show(const QStringList& lines, const QColor& colour, const std::vector<EntryMark>& marks);
    const QImage& Image() const { return image_; }
    const QStringList& Lines() const { return lines_; }
    const PaneMetrics& Metrics() const { return metrics_; }
    QColor TextColour() const { return colour_; }

signals:
    // The left or right button went down at `y` pixels from the pane's top.
    void pressed(int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void DrawText(QImage& image, const QStringList& lines, const QColor& colour) const;

    QFont font_;
    PaneMetrics metrics_;
    QImage image_;
    QStringList lines_;
    QColor colour_;
};

}  // namespace quillo::gui
