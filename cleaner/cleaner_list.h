#pragma once
// One of the cleaner window's two lists (`List1`): extended selection, rows
// whose tabs jump to tab stops set in dialog units, one row height for all,
// and a horizontal extent set from the widest row.
#include <QListWidget>

namespace quillo::gui {

// Item data roles: the row's folder flag and the source's key for it.
inline constexpr int kRowFolderRole = Qt::UserRole;
inline constexpr int kRowKeyRole = Qt::UserRole + 1;

class CleanerList : public QListWidget {
    Q_OBJECT
public:
    explicit CleanerList(QWidget* parent = nullptr);

    // Tab stops at `first` pixels and every `step` pixels after it, kept in
    // dialog units of `dialogUnit` pixels as the list control keeps them.
    void SetTabStops(int first, int step, double dialogUnit);
    // Pixel position of tab stop `index` (0 the first).
    int TabStop(int index) const;
    // Width of a row's text with its tabs expanded to the stops.
    int RowWidth(const QString& text) const;
    // The horizontal scroll extent in pixels; rows are this wide.
    void SetHorizontalExtent(int pixels);
    int HorizontalExtent() const { return extent_; }
    int RowHeight() const;
    // The row under a vertical position: the top visible row plus whole row heights.
    int RowAtY(int y) const;
    // The first tab stop past `x` pixels.
    int NextStop(int x) const;

private:
    class TabDelegate;
    int firstUnits_ = 0;
    int stepUnits_ = 0;
    double dialogUnit_ = 1.0;
    int extent_ = 0;
};

}  // namespace quillo::gui
