#include "cleaner/list_printer.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>

namespace quillo::gui {

bool PrintList(QPrinter& printer, const QString& caption, const QStringList& rows) {
    QPainter painter;
    if (!painter.begin(&printer)) {
        printer.abort();
        return false;
    }
    // Letters as they are (no "fi" ligature), so the printed text searches
    // and copies as it reads.
    QFont font = painter.font();
    font.setStyleStrategy(QFont::PreferNoShaping);
    painter.setFont(font);
    const QRect page = painter.viewport();
    const QFontMetrics metrics(painter.font(), &printer);
    const int line = metrics.lineSpacing();
    int y = 0;
    QStringList lines = rows;
    lines.prepend(caption);
    for (const QString& text : lines) {
        if (y + line > page.height()) {
            if (!printer.newPage()) {
                printer.abort();
                return false;
            }
            y = 0;
        }
        painter.drawText(QRect(0, y, page.width(), line), Qt::AlignLeft | Qt::TextExpandTabs, text);
        y += line;
    }
    return painter.end();
}

}  // namespace quillo::gui
