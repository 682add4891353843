#pragma once
// The cleaner's Print: the caption as the first line, then every row, one
// per line (tabs expanded), page after page.
#include <QString>
#include <QStringList>

class QPrinter;

namespace quillo::gui {

// False when the printer could not start, take a page or finish; the
// document is abandoned then.
bool PrintList(QPrinter& printer, const QString& caption, const QStringList& rows);

}  // namespace quillo::gui
