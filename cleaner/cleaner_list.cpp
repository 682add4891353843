#include "cleaner/cleaner_list.h"

#include <QPainter>
#include <QScrollBar>
#include <QStyledItemDelegate>

#include <cmath>

namespace quillo::gui {

// Paints a row column by column, each tab moving on to the next stop past
// the text so far.
class CleanerList::TabDelegate final : public QStyledItemDelegate {
public:
    explicit TabDelegate(CleanerList* list) : QStyledItemDelegate(list), list_(list) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem background = option;
        initStyleOption(&background, index);
        background.text.clear();
        list_->style()->drawControl(QStyle::CE_ItemViewItem, &background, painter, list_);
        const bool selected = (option.state & QStyle::State_Selected) != 0;
        painter->save();
        painter->setPen(option.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        const QStringList columns = index.data().toString().split('\t');
        int x = option.rect.left() + 2;
        for (int c = 0; c < columns.size(); ++c) {
            if (c > 0) x = option.rect.left() + list_->NextStop(x - option.rect.left());
            painter->drawText(QRect(x, option.rect.top(), 100000, option.rect.height()),
                              Qt::AlignLeft | Qt::AlignVCenter, columns[c]);
            x += option.fontMetrics.horizontalAdvance(columns[c]);
        }
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QSize natural = QStyledItemDelegate::sizeHint(option, index);
        return QSize(std::max(list_->HorizontalExtent(), 1), natural.height());
    }

private:
    CleanerList* list_;
};

CleanerList::CleanerList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setItemDelegate(new TabDelegate(this));
}

void CleanerList::SetTabStops(int first, int step, double dialogUnit) {
    dialogUnit_ = dialogUnit > 0 ? dialogUnit : 1.0;
    firstUnits_ = static_cast<int>(first / dialogUnit_);
    stepUnits_ = static_cast<int>(step / dialogUnit_);
    viewport()->update();
}

int CleanerList::TabStop(int index) const {
    return static_cast<int>(std::lround((firstUnits_ + index * stepUnits_) * dialogUnit_));
}

int CleanerList::NextStop(int x) const {
    // Without stops set, tabs fall every eight average characters.
    const int step = stepUnits_ > 0 ? TabStop(1) - TabStop(0) : fontMetrics().averageCharWidth() * 8;
    int stop = firstUnits_ > 0 ? TabStop(0) : step;
    while (stop <= x) stop += step;
    return stop;
}

int CleanerList::RowWidth(const QString& text) const {
    const QStringList columns = text.split('\t');
    int x = 2;
    for (int c = 0; c < columns.size(); ++c) {
        if (c > 0) x = NextStop(x);
        x += fontMetrics().horizontalAdvance(columns[c]);
    }
    return x;
}

void CleanerList::SetHorizontalExtent(int pixels) {
    extent_ = pixels;
    doItemsLayout();
}

int CleanerList::RowHeight() const {
    const int height = count() > 0 ? sizeHintForRow(0) : fontMetrics().height() + 2;
    return std::max(height, 1);
}

int CleanerList::RowAtY(int y) const { return verticalScrollBar()->value() + y / RowHeight(); }

}  // namespace quillo::gui
