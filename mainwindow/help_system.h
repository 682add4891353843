#pragma once
// The help: one HTML topic per help context number, shipped inside the
// program as resources (":/help/<context>.html", contents in
// ":/help/contents.html"). Every window reaches it through these calls.
#include <QString>

class QWidget;

namespace quillo::gui {

// The HTML of the topic for `context`; empty when there is none.
QString HelpTopic(int context);

// Pops the topic of `context` up beside `anchor` (F1, a page's Help button);
// a context without a topic of its own shows the contents.
void ShowHelpPopup(QWidget* anchor, int context);

// Opens the help window at its contents (Help > Topics), or raises it.
void ShowHelpContents(QWidget* parent);

}  // namespace quillo::gui
